# The image probe on a large photo against a full-size libjpeg decode of it.
add_executable(image_probe_bench ${CMAKE_CURRENT_LIST_DIR}/image_probe_bench.cpp)
target_link_libraries(image_probe_bench PRIVATE glx_publish benchmark::benchmark JPEG::JPEG)
