# Tools that run the whole program on the headless layer.
if(TARGET dorvane_headless AND TARGET dorvane_shell)
  add_executable(dorvane-snapshot ${CMAKE_CURRENT_SOURCE_DIR}/dorvane_snapshot.cpp)
  target_link_libraries(dorvane-snapshot PRIVATE dorvane_headless dorvane_shell)
endif()
