#include "wizard/TargetInfo.h"

#include <system_error>

namespace fs = std::filesystem;

std::string TargetDrivePart(const std::string& folderText,
                            const std::vector<platform::MountEntry>& mountTable) {
  fs::path path(folderText);
  if (folderText.empty() || !path.is_absolute()) return {};
  path = path.lexically_normal();
  // The folder need not exist yet: its nearest existing ancestor decides.
  std::error_code ec;
  while (!fs::is_directory(path, ec) && path.has_relative_path()) path = path.parent_path();
  const fs::path real = fs::canonical(path, ec);
  const auto mount = platform::MountHolding(mountTable, ec ? path : real);
  return mount ? mount->mountPoint.string() : std::string();
}

std::string TargetWarning(TDriveType targetType, const std::string& targetDrive,
                          const std::string& sourceDrive, bool freeIsEnough) {
  std::string reason;
  if (targetType == dtUnknown)
    reason = "  -  target directory is incorrect";
  else if (targetDrive == sourceDrive)
    reason = "  -  the target drive cannot be the same as the source drive";
  else if (!freeIsEnough)
    reason =
        "  -  it is possible the target drive does not have enough free space to store all the "
        "files which are going to be recovered";
  if (reason.empty()) return {};
  return "Warning:\n" + reason + "\n";
}
