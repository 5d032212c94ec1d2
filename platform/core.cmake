target_sources(kelvra_core PRIVATE
  platform/Clock.cpp platform/Clock.h
  platform/Profile.cpp platform/Profile.h platform/ProfileLayout.h platform/NativeStore.h
  platform/SignalBridge.h
  platform/InstanceGuard.cpp platform/InstanceGuard.h
  platform/ExitHook.cpp platform/ExitHook.h
  platform/Random15.cpp platform/Random15.h
)
# The system's own store, lock and ending signals.
if(WIN32)
  target_sources(kelvra_core PRIVATE platform/NativeStore_win.cpp platform/InstanceLock_win.cpp
                                     platform/SignalBridge_win.cpp)
else()
  target_sources(kelvra_core PRIVATE platform/NativeStore.cpp platform/InstanceLock.cpp platform/SignalBridge.cpp)
endif()
