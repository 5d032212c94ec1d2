# The command line needs QtCore only: it is parsed before any window system is touched.
target_sources(kelvra_core PRIVATE
  app/CommandLine.cpp app/CommandLine.h
)
