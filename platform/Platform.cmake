# System libraries of the platform layer.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  pkg_check_modules(UDEV REQUIRED IMPORTED_TARGET libudev)
  target_link_libraries(platform PRIVATE PkgConfig::UDEV)
endif()
