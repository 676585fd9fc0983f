# Tools that run the whole program on the headless layer. The placeholder pictures go beside
# the executable, where start-up looks for them.
if(TARGET dorvane_headless AND TARGET dorvane_shell)
  add_executable(dorvane-snapshot ${CMAKE_CURRENT_SOURCE_DIR}/dorvane_snapshot.cpp)
  target_link_libraries(dorvane-snapshot PRIVATE dorvane_headless dorvane_shell)
  foreach(picture erreur.png inconnu.png)
    if(EXISTS ${CMAKE_SOURCE_DIR}/assets/${picture})
      add_custom_command(TARGET dorvane-snapshot POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/assets/${picture}
                $<TARGET_FILE_DIR:dorvane-snapshot>/${picture})
    endif()
  endforeach()
endif()
