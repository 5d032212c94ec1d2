target_sources(kelvra_ui PRIVATE
  away/AwayPrompt.cpp away/AwayPrompt.h
  away/LockWatch.cpp away/LockWatch.h
  away/MutterIdleWatch.cpp away/MutterIdleWatch.h
  away/X11IdleWatch.cpp away/X11IdleWatch.h
  away/WaylandIdleWatch.cpp away/WaylandIdleWatch.h
)
# X11's idle counter through the display connection Qt already has. Without xcb-sync's headers the
# board builds without it, and X11 sessions fall back to the other sources.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(XCB_SYNC IMPORTED_TARGET xcb xcb-sync)
endif()
if(XCB_SYNC_FOUND)
  target_compile_definitions(kelvra_ui PRIVATE KELVRA_X11_IDLE)
  target_link_libraries(kelvra_ui PRIVATE PkgConfig::XCB_SYNC)
endif()

# The Wayland compositor's idle notifications, on the display connection Qt already has (reached through
# Qt's platform interface, hence its private headers). Without wayland-client, the protocols' files or
# those headers, the board builds without it.
find_program(KELVRA_WAYLAND_SCANNER wayland-scanner)
find_package(PlasmaWaylandProtocols QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(WAYLAND_CLIENT IMPORTED_TARGET wayland-client)
  pkg_get_variable(KELVRA_WAYLAND_PROTOCOLS wayland-protocols pkgdatadir)
endif()
set(ext_idle "${KELVRA_WAYLAND_PROTOCOLS}/staging/ext-idle-notify/ext-idle-notify-v1.xml")
set(kde_idle "${PLASMA_WAYLAND_PROTOCOLS_DIR}/idle.xml")
# The target is there with or without the headers (qt6-base-private-dev).
set(KELVRA_QPA_HEADER KELVRA_QPA_HEADER-NOTFOUND)
if(TARGET Qt6::GuiPrivate)
  get_target_property(qt_private_dirs Qt6::GuiPrivate INTERFACE_INCLUDE_DIRECTORIES)
  find_file(KELVRA_QPA_HEADER qpa/qplatformnativeinterface.h PATHS ${qt_private_dirs} NO_DEFAULT_PATH
            NO_CACHE)
endif()
if(WAYLAND_CLIENT_FOUND AND KELVRA_WAYLAND_SCANNER AND KELVRA_QPA_HEADER AND EXISTS "${ext_idle}"
   AND EXISTS "${kde_idle}")
  enable_language(C)
  set(generated ${PROJECT_BINARY_DIR}/generated/wayland)
  file(MAKE_DIRECTORY ${generated})
  set(protocol_sources)
  foreach(xml ${ext_idle} ${kde_idle})
    get_filename_component(base ${xml} NAME_WE)
    add_custom_command(OUTPUT ${generated}/${base}-client-protocol.h ${generated}/${base}-protocol.c
                       COMMAND ${KELVRA_WAYLAND_SCANNER} client-header ${xml} ${generated}/${base}-client-protocol.h
                       COMMAND ${KELVRA_WAYLAND_SCANNER} private-code ${xml} ${generated}/${base}-protocol.c
                       DEPENDS ${xml} VERBATIM)
    list(APPEND protocol_sources ${generated}/${base}-client-protocol.h ${generated}/${base}-protocol.c)
  endforeach()
  add_library(kelvra_wayland_protocols STATIC ${protocol_sources})
  target_include_directories(kelvra_wayland_protocols PUBLIC ${generated})
  target_link_libraries(kelvra_wayland_protocols PUBLIC PkgConfig::WAYLAND_CLIENT)
  target_compile_definitions(kelvra_ui PRIVATE KELVRA_WAYLAND_IDLE)
  target_link_libraries(kelvra_ui PRIVATE kelvra_wayland_protocols Qt6::GuiPrivate)
  message(STATUS "Inactivity from Wayland compositors: yes")
else()
  message(STATUS "Inactivity from Wayland compositors: no (wayland-client, wayland-protocols, "
                 "plasma-wayland-protocols and Qt's private headers are needed)")
endif()
