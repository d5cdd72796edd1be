#include "wizard/DiskInfo.h"

#include <limits>

namespace {

std::int64_t ClampToSigned(std::uint64_t v) {
  constexpr auto top = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  return static_cast<std::int64_t>(v > top ? top : v);
}

}  // namespace

void TDiskInfo::SetDrive(const std::string& value) {
  FDrive = value;
  LoadVolumeInfo();
  LoadSpaceInfo();
  CheckFreeSpace();
}

void TDiskInfo::SetCompareSize(std::int64_t value) {
  FCompareSize = value;
  CheckFreeSpace();
}

void TDiskInfo::LoadVolumeInfo() {
  const TVolumeInformationRecord* rec = FDrive.empty() ? nullptr : FindDrive(FDrive);
  if (rec)
    FVolumeInfo = *rec;
  else
    FVolumeInfo.DriveType = dtUnknown;  // the other fields keep what they held
}

void TDiskInfo::LoadSpaceInfo() {
  if (FDrive.empty() || FVolumeInfo.DriveType == dtUnknown || FVolumeInfo.DriveType == dtNoDrive) {
    FFreeAvailable = FTotalSpace = FTotalFree = 0;
    return;
  }
  TDiskSpace space;
  // A failed query keeps the figures of before rather than showing zeros as facts.
  if (!ReadDiskSpace(*FSystem, FDrive, space)) return;
  FFreeAvailable = ClampToSigned(space.FreeBytes);
  FTotalSpace = ClampToSigned(space.TotalBytes);
  // The system reports what the user may write; the reserved rest is no use to a copy.
  FTotalFree = FFreeAvailable;
}

std::string DriveTypeName(TDriveType type) {
  switch (type) {
    case dtNoDrive:
      return "No drive";
    case dtFloppy:
      return "Removable drive";
    case dtFixed:
      return "Hard drive";
    case dtNetwork:
      return "Network drive";
    case dtCDROM:
      return "CD-ROM";
    case dtRAM:
      return "RAM";
    case dtUnknown:
      break;
  }
  return "N/A";
}

std::string TDiskInfo::DiskLabelText() const {
  if (FVolumeInfo.DriveType == dtUnknown) return "N/A";
  std::string text = FDrive;
  if (!FVolumeInfo.VolumeName.empty()) text += " [" + FVolumeInfo.VolumeName + "]";
  return text;
}

std::string TDiskInfo::DriveTypeText() const { return DriveTypeName(FVolumeInfo.DriveType); }

std::string TDiskInfo::FileSystemText() const {
  return FVolumeInfo.DriveType == dtUnknown ? "N/A" : FVolumeInfo.FileSystemName;
}

std::string TDiskInfo::DiskSizeText() const {
  return FVolumeInfo.DriveType == dtUnknown ? "N/A" : FormatSize(FTotalSpace);
}

std::string TDiskInfo::FreeSpaceText() const {
  return FVolumeInfo.DriveType == dtUnknown ? "N/A" : FormatSize(FTotalFree);
}
