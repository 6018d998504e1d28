# The registry questions of a start with a 2 MB value in the settings file,
# against the same questions with no large value.
add_executable(registry_start_bench ${CMAKE_CURRENT_LIST_DIR}/registry_start_bench.cpp)
target_link_libraries(registry_start_bench PRIVATE glx_platform benchmark::benchmark)
