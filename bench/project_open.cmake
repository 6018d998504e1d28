# Opening a 100,000-image project in the main window against reading it with
# the plain project reader.
add_executable(project_open_bench ${CMAKE_CURRENT_LIST_DIR}/project_open_bench.cpp)
target_link_libraries(project_open_bench PRIVATE glx_app benchmark::benchmark)
