#pragma once
// The system's drives and their volumes, as the drive table of the engine
// needs them: which drives are present, of which kind, and what volume each
// holds. On Linux a drive is a mounted volume, or an optical drive whether or
// not it holds a disc; its designator is the mount point, or the device node
// ("/dev/sr0") of an optical drive without a mounted disc.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The system's drive-type codes (the ordinals of the engine's TDriveType).
enum class DriveTypeCode : std::uint8_t {
  Unknown = 0,
  NoDrive = 1,
  Removable = 2,
  Fixed = 3,
  Network = 4,
  Optical = 5,
  Ram = 6,
};

struct DriveListing {
  std::string designator;
  DriveTypeCode type = DriveTypeCode::Unknown;
};

// What the volume query answers for a drive that holds a readable volume.
struct VolumeInfo {
  std::string label;                         // empty when the volume has none
  std::uint32_t serialNumber = 0;            // 0 when the volume has no numeric serial
  std::uint32_t maximumComponentLength = 0;  // longest file-name component, in bytes
  std::uint32_t fileSystemFlags = 0;         // statvfs f_flag bits (ST_RDONLY, ...)
  std::string fileSystemName;                // "iso9660", "udf", "ext4", ...
};

struct DiskSpace {
  std::uint64_t freeBytes = 0;  // available to an unprivileged user
  std::uint64_t totalBytes = 0;
};

class IDriveTable {
 public:
  virtual ~IDriveTable() = default;
  // The present drives with their type codes, in ascending order of designator.
  virtual std::vector<DriveListing> ListDrives() = 0;
  // The volume of a drive; false when the drive holds no readable volume
  // (an empty optical drive, a gone drive, a file system that does not answer).
  virtual bool QueryVolume(const std::string& designator, VolumeInfo& info) = 0;
  // Free and total space of a drive's volume (or of the volume holding any
  // absolute folder), or nullopt.
  virtual std::optional<DiskSpace> QueryDiskSpace(const std::string& designator) = 0;
};

// What a mounted file system tells about itself (statvfs on Linux).
struct FileSystemStats {
  std::uint32_t maximumComponentLength = 0;
  std::uint32_t flags = 0;
  std::uint64_t freeBytes = 0;
  std::uint64_t totalBytes = 0;
};

// Where the drive table takes its facts from; every member has a default that
// reads the running system, and tests replace them to build the table from
// recorded fixtures.
struct DriveTableSources {
  // The folder that stands for "/" when reading the kernel's tables:
  // <root>/proc/self/mountinfo, <root>/sys/..., <root>/dev/disk/by-label/...
  std::filesystem::path systemRoot = "/";
  // Asks the file system mounted at a designator (given as the designator
  // itself, not below systemRoot). nullopt when it does not answer.
  std::function<std::optional<FileSystemStats>(const std::filesystem::path&)> fileSystemStats;
  // The device manager's properties of a block device by its kernel name
  // ("sr0"): ID_CDROM, ID_FS_LABEL_ENC, ID_FS_UUID, ID_FS_TYPE. Empty when it
  // knows nothing (no udev database, as in containers and CI).
  std::function<std::map<std::string, std::string>(const std::string& kernelName)> deviceProperties;
};

std::unique_ptr<IDriveTable> MakeDriveTable(DriveTableSources sources = {});

// The drive table of the running system, created on first use.
IDriveTable& SystemDriveTable();

}  // namespace platform
