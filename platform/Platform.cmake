# Libraries of the platform layer found through pkg-config (Linux).
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  find_package(PkgConfig REQUIRED)
  # libiso9660 reads an optical disc's own directory to find a file's sectors.
  pkg_check_modules(ISO9660 REQUIRED IMPORTED_TARGET libiso9660)
  # libudev names optical drives and labels, and tells of block devices coming and going.
  pkg_check_modules(UDEV REQUIRED IMPORTED_TARGET libudev)
  target_link_libraries(platform PRIVATE PkgConfig::ISO9660 PkgConfig::UDEV)
endif()
