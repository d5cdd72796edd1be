#pragma once
// The label and UUID a file system records about itself, read from the
// device's (or image file's) superblock through libblkid: the drive table's
// source when the device manager (udev) gives none, as in containers and CI.

#include <filesystem>
#include <string>

namespace platform {

struct VolumeIds {
  std::string label;  // "" when the file system has none or is not recognised
  std::string uuid;   // as blkid shows it ("1A2B-3C4D", "0e2b5c5e-...")
};

VolumeIds ProbeVolumeIds(const std::filesystem::path& node);

}  // namespace platform
