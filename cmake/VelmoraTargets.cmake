# velmora_library(NAME [DEPS ...])
# A library target made of the .cpp files of the current folder. Files ending
# in _linux.cpp or _win.cpp belong to one platform only; the others build
# everywhere. The folder's parent is the include root, so that code includes
# "support/uFunctions.h" and "platform/Files.h".
function(velmora_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB _all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(_sources "")
  foreach(_f IN LISTS _all)
    if(_f MATCHES "_win\\.cpp$" AND NOT WIN32)
      continue()
    endif()
    if(_f MATCHES "_linux\\.cpp$" AND NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
      continue()
    endif()
    list(APPEND _sources ${_f})
  endforeach()
  if(_sources)
    add_library(${name} STATIC ${_sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC velmora_options ${ARG_DEPS})
  else()  # a folder whose code is still headers only
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE velmora_options ${ARG_DEPS})
  endif()
endfunction()
