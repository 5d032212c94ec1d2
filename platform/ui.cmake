target_sources(kelvra_ui PRIVATE
  platform/DataExchange.cpp platform/DataExchange.h
  platform/DialogBuilder.cpp platform/DialogBuilder.h platform/DialogTemplate.h
  platform/AfterFirstPaint.cpp platform/AfterFirstPaint.h
  platform/FormLabel.cpp platform/FormLabel.h
  platform/LockWatch.cpp platform/LockWatch.h
  platform/MutterIdleWatch.cpp platform/MutterIdleWatch.h
  platform/Prompt.cpp platform/Prompt.h
  platform/Shell.cpp platform/Shell.h
  platform/SystemColours.cpp platform/SystemColours.h
  platform/WindowTimers.cpp platform/WindowTimers.h
  res/Templates.cpp res/Templates.h res/resource.h
)
