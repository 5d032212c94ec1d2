add_executable(bench_net ${CMAKE_CURRENT_LIST_DIR}/bench_net.cpp)
target_link_libraries(bench_net PRIVATE kelvra_core benchmark::benchmark)
