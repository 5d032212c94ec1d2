add_executable(bench_board ${CMAKE_CURRENT_LIST_DIR}/bench_board.cpp)
target_link_libraries(bench_board PRIVATE kelvra_core benchmark::benchmark)

add_executable(bench_view ${CMAKE_CURRENT_LIST_DIR}/bench_view.cpp)
target_link_libraries(bench_view PRIVATE kelvra_ui benchmark::benchmark)
