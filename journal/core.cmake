target_sources(kelvra_core PRIVATE
  journal/Sqlite.cpp journal/Sqlite.h
  journal/Journal.cpp journal/Journal.h
  journal/JournalSink.cpp journal/JournalSink.h
  journal/JournalQuery.cpp journal/JournalQuery.h
  journal/JournalReport.cpp journal/JournalReport.h
  journal/JournalQuery.cpp journal/JournalQuery.h
)
find_package(PkgConfig REQUIRED)
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
target_link_libraries(kelvra_core PUBLIC PkgConfig::SQLITE3)
