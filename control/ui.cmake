# The board's side.
target_sources(kelvra_ui PRIVATE
  control/ControlServer.h
  control/RemoteControl.cpp control/RemoteControl.h
)
# On Unix a plain socket: the board then loads no network library. Elsewhere Qt's local server.
if(UNIX)
  target_sources(kelvra_ui PRIVATE control/ControlServer.cpp)
else()
  target_sources(kelvra_ui PRIVATE control/ControlServer_win.cpp)
  target_link_libraries(kelvra_ui PUBLIC Qt6::Network)
endif()
