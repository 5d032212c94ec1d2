# The command line and the commands to a running board need no window system: they run before any is
# touched.
target_sources(kelvra_core PRIVATE
  app/CommandLine.cpp app/CommandLine.h
  app/ControlCommand.cpp app/ControlCommand.h
)
