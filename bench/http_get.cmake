# A 64 MiB HTTP body fetched with THttpClient::Get against curl, from the same
# loopback server in the same run.
add_executable(http_get_bench
  ${CMAKE_CURRENT_LIST_DIR}/http_get_bench.cpp
  ${CMAKE_SOURCE_DIR}/tests/support/loopback_server.cpp)
target_include_directories(http_get_bench PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(http_get_bench PRIVATE glx_net Qt6::Core benchmark::benchmark Threads::Threads)
