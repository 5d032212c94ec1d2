# Sources of controls/ in kelvra_core.
target_sources(kelvra_core PRIVATE
  controls/BitmapInfoHeader.h controls/DibDrawingObject.h
  controls/DibSurface.cpp controls/DibSurface.h
  controls/Shading.cpp controls/Shading.h
)
