# The history window, built only when the user first opens it.
set(kelvra_history_sources
  history/HistoryWindow.cpp history/HistoryWindow.h
  history/WeekChart.cpp history/WeekChart.h
)
target_sources(kelvra_ui PRIVATE ${kelvra_history_sources})
# New code compiles with Qt's strict string and deprecation checks.
set_source_files_properties(${kelvra_history_sources} PROPERTIES
  COMPILE_DEFINITIONS "QT_NO_CAST_FROM_ASCII;QT_NO_CAST_TO_ASCII;QT_NO_CAST_FROM_BYTEARRAY;QT_DISABLE_DEPRECATED_BEFORE=0x060400")
