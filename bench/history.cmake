# Opening the history window and switching weeks over the generated ten years (offscreen platform).
add_executable(bench_history ${CMAKE_CURRENT_LIST_DIR}/bench_history.cpp ${CMAKE_CURRENT_LIST_DIR}/GeneratedJournal.h)
target_link_libraries(bench_history PRIVATE kelvra_ui benchmark::benchmark)
