target_sources(kelvra_ui PRIVATE
  platform/DataExchange.cpp platform/DataExchange.h
  platform/DesktopNotifier.cpp platform/DesktopNotifier.h
  platform/DialogBuilder.cpp platform/DialogBuilder.h platform/DialogTemplate.h
  platform/AccessibleRoles.cpp platform/AccessibleRoles.h
  platform/AfterFirstPaint.cpp platform/AfterFirstPaint.h
  platform/BusLink.cpp platform/BusLink.h
  platform/FormLabel.cpp platform/FormLabel.h
  platform/Prompt.cpp platform/Prompt.h
  platform/Shell.cpp platform/Shell.h
  platform/SystemColours.cpp platform/SystemColours.h
  platform/WindowTimers.cpp platform/WindowTimers.h
  res/resource.h
)
