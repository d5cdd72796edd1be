#include "FakeDrives.h"

std::vector<platform::DriveListing> FakeDriveTable::ListDrives() {
  std::vector<platform::DriveListing> list;
  for (const auto& [designator, d] : drives) list.push_back({designator, d.type});
  return list;
}

bool FakeDriveTable::QueryVolume(const std::string& designator, platform::VolumeInfo& info) {
  const auto it = drives.find(designator);
  if (it == drives.end() || !it->second.volume) return false;
  info = *it->second.volume;
  return true;
}

std::optional<platform::DiskSpace> FakeDriveTable::QueryDiskSpace(const std::string& designator) {
  const auto it = drives.find(designator);
  if (it == drives.end() || !it->second.volume) return std::nullopt;
  return it->second.space;
}
