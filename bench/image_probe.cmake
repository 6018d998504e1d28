# The image probe on a noise image and a photo-like one, against libjpeg's
# Huffman-only floor and a full-size decode, and a repeated HTML build.
add_executable(image_probe_bench ${CMAKE_CURRENT_LIST_DIR}/image_probe_bench.cpp)
target_link_libraries(image_probe_bench PRIVATE glx_document glx_publish benchmark::benchmark JPEG::JPEG)
