target_sources(kelvra_ui PRIVATE
  board/AwayPrompt.cpp board/AwayPrompt.h
  board/KelvraView.cpp board/KelvraView.h
)
