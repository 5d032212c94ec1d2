target_sources(kelvra_ui PRIVATE
  board/KelvraView.cpp board/KelvraView.h
)
