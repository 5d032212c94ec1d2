# Sources of platform/ in kelvra_ui.
target_sources(kelvra_ui PRIVATE
  platform/Shell.cpp platform/Shell.h
)
