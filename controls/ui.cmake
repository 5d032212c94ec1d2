# Sources of controls/ in kelvra_ui.
target_sources(kelvra_ui PRIVATE
  controls/DibSurfaceDraw.cpp
  controls/IconButton.cpp controls/IconButton.h
  controls/ShadeButton.cpp controls/ShadeButton.h
)
