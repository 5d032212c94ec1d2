# The command line needs no window system: it is read before any is touched.
target_sources(kelvra_core PRIVATE
  app/CommandLine.cpp app/CommandLine.h
)
