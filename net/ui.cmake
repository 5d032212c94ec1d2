# Sources of net/ in kelvra_ui.
target_sources(kelvra_ui PRIVATE
  net/WebPages.cpp net/WebPages.h
)
