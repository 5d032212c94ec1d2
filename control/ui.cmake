# The board's side.
target_sources(kelvra_ui PRIVATE
  control/ControlServer.cpp control/ControlServer.h
  control/RemoteControl.cpp control/RemoteControl.h
)
