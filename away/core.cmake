target_sources(kelvra_core PRIVATE
  away/SuspendWatch.cpp away/SuspendWatch.h
  away/AwayDetector.cpp away/AwayDetector.h
)
if(WIN32)
  target_sources(kelvra_core PRIVATE away/SuspendWatch_win.cpp)
endif()
