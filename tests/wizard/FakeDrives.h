#pragma once
// A drive table of the test's own: designators with their type, volume and
// space, changed between steps as discs come and go.

#include <map>
#include <optional>
#include <string>

#include "platform/DriveTable.h"

struct FakeDrive {
  platform::DriveTypeCode type = platform::DriveTypeCode::Optical;
  std::optional<platform::VolumeInfo> volume;  // none: no readable disc
  platform::DiskSpace space;
};

class FakeDriveTable : public platform::IDriveTable {
 public:
  std::map<std::string, FakeDrive> drives;  // ordered by designator, as the system's

  void AddDisc(const std::string& designator, const std::string& label,
               std::uint64_t total = 700'000'000) {
    Add(designator, platform::DriveTypeCode::Optical, label, "iso9660", 0, total);
  }
  void AddDisk(const std::string& designator, std::uint64_t free, std::uint64_t total,
               platform::DriveTypeCode type = platform::DriveTypeCode::Fixed) {
    Add(designator, type, "", "ext4", free, total);
  }
  void Add(const std::string& designator, platform::DriveTypeCode type, const std::string& label,
           const std::string& fileSystem, std::uint64_t free, std::uint64_t total) {
    FakeDrive& d = drives[designator];
    d.type = type;
    d.volume = platform::VolumeInfo{};
    d.volume->label = label;
    d.volume->fileSystemName = fileSystem;
    d.space.freeBytes = free;
    d.space.totalBytes = total;
  }

  std::vector<platform::DriveListing> ListDrives() override;
  bool QueryVolume(const std::string& designator, platform::VolumeInfo& info) override;
  std::optional<platform::DiskSpace> QueryDiskSpace(const std::string& designator) override;
};
