# Building the shaded button faces and painting a button (needs a QApplication: offscreen by default).
add_executable(bench_controls ${CMAKE_CURRENT_LIST_DIR}/bench_controls.cpp)
target_link_libraries(bench_controls PRIVATE kelvra_ui benchmark::benchmark)
