target_sources(kelvra_core PRIVATE
  journal/Sqlite.cpp journal/Sqlite.h
  journal/Journal.cpp journal/Journal.h
  journal/JournalHealth.cpp journal/JournalHealth.h
  journal/JournalSink.cpp journal/JournalSink.h
  journal/JournalQuery.cpp journal/JournalQuery.h
  journal/JournalReport.cpp journal/JournalReport.h
  journal/LocalDays.cpp journal/LocalDays.h
  journal/LivedDays.cpp journal/LivedDays.h
  journal/JournalWeek.cpp journal/JournalWeek.h
  journal/JournalEdits.cpp journal/JournalEdits.h
)
# New code compiles with Qt's strict string and deprecation checks.
set_source_files_properties(journal/LocalDays.cpp journal/LivedDays.cpp journal/JournalWeek.cpp journal/JournalHealth.cpp PROPERTIES
  COMPILE_DEFINITIONS "QT_NO_CAST_FROM_ASCII;QT_NO_CAST_TO_ASCII;QT_NO_CAST_FROM_BYTEARRAY;QT_DISABLE_DEPRECATED_BEFORE=0x060400")
if(WIN32)
  # The static SQLite built beside the Qt for Windows.
  find_library(KELVRA_SQLITE3 NAMES libsqlite3.a sqlite3 REQUIRED)
  find_path(KELVRA_SQLITE3_INCLUDE sqlite3.h REQUIRED)
  target_link_libraries(kelvra_core PUBLIC ${KELVRA_SQLITE3})
  target_include_directories(kelvra_core PUBLIC ${KELVRA_SQLITE3_INCLUDE})
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
  target_link_libraries(kelvra_core PUBLIC PkgConfig::SQLITE3)
endif()
