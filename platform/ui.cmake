target_sources(kelvra_ui PRIVATE
  platform/DataExchange.cpp platform/DataExchange.h
  platform/DesktopNotifier.cpp platform/DesktopNotifier.h
  platform/DialogBuilder.cpp platform/DialogBuilder.h platform/DialogTemplate.h
  platform/AfterFirstPaint.cpp platform/AfterFirstPaint.h
  platform/BusLink.cpp platform/BusLink.h
  platform/FormLabel.cpp platform/FormLabel.h
  platform/LockWatch.cpp platform/LockWatch.h
  platform/MutterIdleWatch.cpp platform/MutterIdleWatch.h
  platform/X11IdleWatch.cpp platform/X11IdleWatch.h
  platform/Prompt.cpp platform/Prompt.h
  platform/Shell.cpp platform/Shell.h
  platform/SystemColours.cpp platform/SystemColours.h
  platform/WindowTimers.cpp platform/WindowTimers.h
  res/Templates.cpp res/Templates.h res/resource.h
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
