#include "wizard/DriveList.h"

#include <algorithm>

std::vector<TDriveEntry> ListedDrives(const std::vector<TVolumeInformationRecord>& drives) {
  std::vector<TDriveEntry> entries;
  for (const auto& rec : drives) {
    if (rec.DriveType == dtCDROM && !rec.FileSystemName.empty())
      entries.push_back({.Designator = rec.Letter, .Caption = VolumeCaption(rec)});
  }
  return entries;
}

bool IsDriveMounted(const std::string& designator,
                    const std::vector<platform::MountEntry>& mountTable) {
  if (designator.empty()) return false;
  const std::filesystem::path wanted = std::filesystem::path(designator).lexically_normal();
  return std::any_of(mountTable.begin(), mountTable.end(), [&](const platform::MountEntry& e) {
    return e.mountPoint.lexically_normal() == wanted;
  });
}

void CheckDriveAvailable(const std::string& designator,
                         const std::vector<platform::MountEntry>& mountTable) {
  if (!IsDriveMounted(designator, mountTable))
    throw NoDriveException("Drive " + designator + " is not available.");
}
