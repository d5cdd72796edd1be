#pragma once
// The kernel's table of mounted file systems (/proc/self/mountinfo), read by
// the drive table and by the reader that finds a file's device.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct MountEntry {
  int mountId = 0;
  int parentId = 0;
  unsigned major = 0;  // device numbers of the mounted file system
  unsigned minor = 0;
  std::string root;                  // the folder of the file system seen at mountPoint
  std::filesystem::path mountPoint;  // unescaped ("\040" is a blank)
  std::string mountOptions;          // per-mount options ("ro,nosuid")
  std::string fsType;                // "iso9660", "udf", "fuse.iso9660", "ext4"
  std::string source;                // "/dev/sr0", "/dev/loop3", "server:/export"
  std::string superOptions;          // file-system options ("ro,map=normal,iocharset=utf8")
};

// Parses mountinfo text; malformed lines are passed over.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// Reads and parses a mountinfo file; an empty table when it cannot be read.
std::vector<MountEntry> ReadMountTable(
    const std::filesystem::path& mountInfo = "/proc/self/mountinfo");

// The mount that holds an absolute path: the entry with the longest mount
// point that is a whole-component prefix of the path; of equal ones the last,
// as a later mount hides an earlier one at the same place.
std::optional<MountEntry> MountHolding(const std::vector<MountEntry>& table,
                                       const std::filesystem::path& absolutePath);

// The items of a comma-separated option list, in order ("ro,map=off" gives
// "ro" and "map=off"); the views point into `options`.
std::vector<std::string_view> SplitMountOptions(std::string_view options);
// True when a comma-separated option list ("ro,norock,map=off") holds the
// option as a whole item ("norock", "map=off").
bool HasMountOption(std::string_view options, std::string_view option);
// The value of "key=value" in an option list, or nullopt.
std::optional<std::string> MountOptionValue(std::string_view options, std::string_view key);

}  // namespace platform
