# Reading a large project file against reading its lines with std::getline.
add_executable(project_file_bench ${CMAKE_CURRENT_LIST_DIR}/project_file_bench.cpp)
target_link_libraries(project_file_bench PRIVATE glx_document benchmark::benchmark)
