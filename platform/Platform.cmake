# Libraries of the platform layer's implementations.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  find_package(PkgConfig REQUIRED)
  # libudev names optical drives and labels, and tells of block devices coming and going.
  pkg_check_modules(UDEV REQUIRED IMPORTED_TARGET libudev)
  target_link_libraries(platform PRIVATE PkgConfig::UDEV)
  # libblkid reads labels and UUIDs from file systems' superblocks where udev gives none.
  pkg_check_modules(BLKID REQUIRED IMPORTED_TARGET blkid)
  target_link_libraries(platform PRIVATE PkgConfig::BLKID)
endif()
# SQLite holds the per-user registry store (portable, so on every platform
# that has no registry of its own).
find_package(SQLite3 REQUIRED)
target_link_libraries(platform PUBLIC SQLite::SQLite3)
