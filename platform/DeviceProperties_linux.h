#pragma once
// The device manager's (udev's) properties of a block device, used by the
// drive table for optical drives and volume labels.

#include <map>
#include <string>

namespace platform {

// The properties of the block device with the given kernel name ("sr0"):
// ID_CDROM, ID_FS_LABEL_ENC, ID_FS_UUID, ... Empty when udev has no record
// of it (no udev database, as in containers and CI).
std::map<std::string, std::string> UdevBlockDeviceProperties(const std::string& kernelName);

}  // namespace platform
