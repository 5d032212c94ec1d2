# Running cost with a timer running (scripts/bench-running): the board against a bare Qt window whose
# label a one-second timer updates.
add_executable(running_kelvra ${CMAKE_CURRENT_LIST_DIR}/running_kelvra.cpp)
target_link_libraries(running_kelvra PRIVATE kelvra_ui)
add_executable(running_minimal ${CMAKE_CURRENT_LIST_DIR}/running_minimal.cpp)
target_link_libraries(running_minimal PRIVATE Qt6::Widgets kelvra_warnings)
