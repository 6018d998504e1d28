# The program's start-up until its main window is shown and the event loop
# is idle, against a bare Qt program showing one empty main window.
add_executable(bare_window ${CMAKE_CURRENT_LIST_DIR}/bare_window.cpp)
target_include_directories(bare_window PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(bare_window PRIVATE Qt6::Widgets)
# Not beside the program: it is no part of it.
set_target_properties(bare_window PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)

add_executable(startup_bench ${CMAKE_CURRENT_LIST_DIR}/startup_bench.cpp)
target_include_directories(startup_bench PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(startup_bench PRIVATE benchmark::benchmark)
add_dependencies(startup_bench glimmerax bare_window)
target_compile_definitions(startup_bench PRIVATE
  GLX_PROGRAM="$<TARGET_FILE:glimmerax>"
  GLX_BARE_WINDOW="$<TARGET_FILE:bare_window>")
