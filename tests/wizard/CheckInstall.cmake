# Installs the build into a fresh prefix and checks the desktop program's files.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
foreach(f bin/VelmoraFree
          share/applications/velmora-free.desktop
          share/icons/hicolor/scalable/apps/velmora-free.svg
          share/icons/hicolor/256x256/apps/velmora-free.png
          share/doc/VelmoraFree/help/index.html
          share/doc/VelmoraFree/help/201.html
          share/doc/VelmoraFree/help/900.html)
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(READ ${PREFIX}/share/applications/velmora-free.desktop entry)
if(NOT entry MATCHES "\nExec=VelmoraFree\n" OR NOT entry MATCHES "\nIcon=velmora-free\n")
  message(FATAL_ERROR "the menu entry does not start the installed program with its icon")
endif()
file(REMOVE_RECURSE ${PREFIX})
