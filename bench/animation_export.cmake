# Exporting one cycle of every effect at 320 x 240 through the shipped player
# and both encoders.
add_executable(animation_export_bench ${CMAKE_CURRENT_LIST_DIR}/animation_export_bench.cpp)
target_link_libraries(animation_export_bench PRIVATE glx_app benchmark::benchmark)
target_compile_definitions(animation_export_bench PRIVATE GLX_PLAYER_SCRIPT="${GLX_BIN_DIR}/glimmerax-player.js")
add_dependencies(animation_export_bench glx_webengine)
if(TARGET glx_player)
  add_dependencies(animation_export_bench glx_player)
endif()
