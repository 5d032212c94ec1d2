# The commands' side of the channel needs no window system: commands run before any is touched.
target_sources(kelvra_core PRIVATE
  control/ControlChannel.cpp control/ControlChannel.h
  control/ControlCommand.cpp control/ControlCommand.h
)
