# Start-up to the first painted window: the board against a minimal Qt window built the same way.
add_executable(startup_kelvra ${CMAKE_CURRENT_LIST_DIR}/startup_kelvra.cpp ${CMAKE_CURRENT_LIST_DIR}/FirstPaint.h)
target_link_libraries(startup_kelvra PRIVATE kelvra_ui)
add_executable(startup_minimal ${CMAKE_CURRENT_LIST_DIR}/startup_minimal.cpp ${CMAKE_CURRENT_LIST_DIR}/FirstPaint.h)
target_link_libraries(startup_minimal PRIVATE Qt6::Widgets kelvra_warnings)
