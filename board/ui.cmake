target_sources(kelvra_ui PRIVATE
  board/KelvraView.cpp board/KelvraView.h
  board/KelvraViewTemplate.cpp board/KelvraViewTemplate.h
)
