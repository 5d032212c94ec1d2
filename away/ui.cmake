target_sources(kelvra_ui PRIVATE
  away/AwayPrompt.cpp away/AwayPrompt.h
  away/PresenceSources.h
)
# The sources of the user's presence: logind, the display server and Mutter on Linux; the session's
# lock messages and last input on Windows.
if(WIN32)
  target_sources(kelvra_ui PRIVATE away/PresenceSources_win.cpp)
  target_link_libraries(kelvra_ui PRIVATE wtsapi32)
else()
  target_sources(kelvra_ui PRIVATE
    away/PresenceSources.cpp
    away/LockWatch.cpp away/LockWatch.h
    away/MutterIdleWatch.cpp away/MutterIdleWatch.h
    away/X11IdleWatch.cpp away/X11IdleWatch.h
    away/WaylandIdleWatch.cpp away/WaylandIdleWatch.h
  )
endif()
# X11's idle counter through the display connection Qt already has. Without xcb-sync's headers the
# board builds without it, and X11 sessions fall back to the other sources.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND AND UNIX AND NOT APPLE)
  pkg_check_modules(XCB_SYNC IMPORTED_TARGET xcb xcb-sync)
endif()
if(XCB_SYNC_FOUND)
  target_compile_definitions(kelvra_ui PRIVATE KELVRA_X11_IDLE)
  target_link_libraries(kelvra_ui PRIVATE PkgConfig::XCB_SYNC)
endif()

# The Wayland compositor's idle notifications, through the protocols' code that platform/ui.cmake
# generates. Without it, or without these two protocols' files, the board builds without them.
if(TARGET kelvra_wayland_protocols AND KELVRA_WAYLAND_ext-idle-notify-v1 AND KELVRA_WAYLAND_idle)
  target_compile_definitions(kelvra_ui PRIVATE KELVRA_WAYLAND_IDLE)
  message(STATUS "Inactivity from Wayland compositors: yes")
else()
  message(STATUS "Inactivity from Wayland compositors: no (wayland-client, wayland-protocols, "
                 "plasma-wayland-protocols and Qt's private headers are needed)")
endif()
