# Libraries of the platform layer's implementations.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  find_package(PkgConfig REQUIRED)
  # libiso9660 reads an optical disc's own directory to find a file's sectors.
  pkg_check_modules(ISO9660 REQUIRED IMPORTED_TARGET libiso9660)
  # libudev names optical drives and labels, and tells of block devices coming and going.
  pkg_check_modules(UDEV REQUIRED IMPORTED_TARGET libudev)
  target_link_libraries(platform PRIVATE PkgConfig::ISO9660 PkgConfig::UDEV)
endif()
# SQLite holds the per-user registry store (portable, so on every platform
# that has no registry of its own).
find_package(SQLite3 REQUIRED)
target_link_libraries(platform PUBLIC SQLite::SQLite3)
