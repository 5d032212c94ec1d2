target_sources(kelvra_core PRIVATE
  board/BoardDisplay.h
  board/PeriodSink.cpp board/PeriodSink.h
  board/TimerLedger.cpp board/TimerLedger.h
  board/TimerStore.cpp board/TimerStore.h
  board/BoardReport.cpp board/BoardReport.h
)
