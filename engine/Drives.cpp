#include "engine/Drives.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "platform/LocaleNumber.h"

std::vector<TVolumeInformationRecord> Drives;

namespace {

// The record of a designator, inserted in order when it is new.
TVolumeInformationRecord& RecordOf(const std::string& designator) {
  const auto it = std::lower_bound(
      Drives.begin(), Drives.end(), designator,
      [](const TVolumeInformationRecord& rec, const std::string& d) { return rec.Letter < d; });
  if (it != Drives.end() && it->Letter == designator) return *it;
  TVolumeInformationRecord rec;
  rec.Letter = designator;
  rec.RootPathName = designator;
  return *Drives.insert(it, std::move(rec));
}

}  // namespace

void UpdateDrives() { UpdateDrives(platform::SystemDriveTable()); }

void UpdateDrives(platform::IDriveTable& system) {
  try {
    const auto present = system.ListDrives();
    std::set<std::string> designators;
    for (const auto& drive : present) designators.insert(drive.designator);
    for (auto& rec : Drives)
      if (!designators.count(rec.Letter)) rec.DriveType = dtUnknown;

    for (const auto& drive : present) {
      if (drive.designator.empty()) continue;
      auto& rec = RecordOf(drive.designator);
      // A network drive is not shown and its volume not queried: a share
      // that does not answer would stall the refresh.
      if (drive.type == platform::DriveTypeCode::Network) {
        rec.DriveType = dtUnknown;
        continue;
      }
      rec.DriveType = static_cast<TDriveType>(drive.type);
      ReadVolumeInformation(system, drive.designator, rec);
    }
  } catch (const std::exception&) {
    // The table keeps what it had; a refresh never fails the caller.
  }
}

bool ReadVolumeInformation(const std::string& ALetter, TVolumeInformationRecord& ARec) {
  return ReadVolumeInformation(platform::SystemDriveTable(), ALetter, ARec);
}

bool ReadVolumeInformation(platform::IDriveTable& system, const std::string& ALetter,
                           TVolumeInformationRecord& ARec) {
  ARec.Letter = ALetter;
  ARec.RootPathName = ALetter;
  platform::VolumeInfo info;
  bool ok = false;
  try {
    ok = !ALetter.empty() && system.QueryVolume(ALetter, info);
  } catch (const std::exception&) {
    ok = false;
  }
  // Names come only from a successful query, so that an empty file-system
  // name always means "no readable volume".
  ARec.VolumeName = ok ? info.label : std::string();
  ARec.FileSystemName = ok ? info.fileSystemName : std::string();
  if (ok) {
    ARec.SerialNumber = info.serialNumber;
    ARec.MaximumComponentLength = info.maximumComponentLength;
    ARec.FileSystemFlags = info.fileSystemFlags;
  }
  return ok;
}

TVolumeInformationRecord* FindDrive(std::string_view ALetter) {
  const auto it =
      std::find_if(Drives.begin(), Drives.end(),
                   [&](const TVolumeInformationRecord& rec) { return rec.Letter == ALetter; });
  return it == Drives.end() ? nullptr : &*it;
}

bool ReadDiskSpace(const std::string& ALetter, TDiskSpace& ASpace) {
  return ReadDiskSpace(platform::SystemDriveTable(), ALetter, ASpace);
}

bool ReadDiskSpace(platform::IDriveTable& system, const std::string& ALetter, TDiskSpace& ASpace) {
  try {
    const auto space = system.QueryDiskSpace(ALetter);
    if (!space) return false;
    ASpace.FreeBytes = space->freeBytes;
    ASpace.TotalBytes = space->totalBytes;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::string VolumeCaption(const TVolumeInformationRecord& ARec) {
  std::string caption = ARec.Letter + " : " + ARec.VolumeName;
  if (!ARec.FileSystemName.empty()) caption += " [" + ARec.FileSystemName + "]";
  return caption;
}

std::string FormatSize(std::int64_t ASize) {
  return FormatSize(ASize, platform::DecimalSeparator());
}

std::string FormatSize(std::int64_t ASize, std::string_view decimalSeparator) {
  static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB"};
  std::string unit = "Bytes";
  auto value = static_cast<double>(ASize);
  for (const char* next : kUnits) {
    if (value > 1000) {
      value /= 1000;
      unit = next;
    }
  }
  if (ASize < 1000) return std::to_string(ASize) + " " + unit;
  // Formatted without the process locale, which another part may have set,
  // and given the separator afterwards.
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
  std::string text(buffer, result.ptr);
  if (const auto point = text.find('.'); point != std::string::npos)
    text.replace(point, 1, decimalSeparator);
  return text + " " + unit;
}
