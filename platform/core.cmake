target_sources(kelvra_core PRIVATE
  platform/Clock.cpp platform/Clock.h
  platform/Profile.cpp platform/Profile.h platform/ProfileLayout.h
  platform/TerminationSignals.cpp platform/TerminationSignals.h
  platform/Random15.cpp platform/Random15.h
)
