# The file finder against GNU find on the same large tree.
add_executable(file_finder_bench ${CMAKE_CURRENT_LIST_DIR}/file_finder_bench.cpp)
target_link_libraries(file_finder_bench PRIVATE glx_search Qt6::Core benchmark::benchmark)
