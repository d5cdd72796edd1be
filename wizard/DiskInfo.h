#pragma once
// What a disk panel shows, without a window: one drive's record copied from
// Drives, its free and total space, and whether the free space covers a
// given byte count.

#include <algorithm>
#include <cstdint>
#include <string>

#include "engine/Drives.h"
#include "platform/DriveTable.h"

class TDiskInfo {
 public:
  explicit TDiskInfo(platform::IDriveTable& system = platform::SystemDriveTable())
      : FSystem(&system) {}

  const std::string& Drive() const { return FDrive; }
  // Copies the drive's record from Drives and asks for its space; an empty
  // or unknown designator shows "N/A".
  void SetDrive(const std::string& value);
  std::int64_t CompareSize() const { return FCompareSize; }
  void SetCompareSize(std::int64_t value);

  std::int64_t FreeAvailable() const { return FFreeAvailable; }
  std::int64_t TotalSpace() const { return FTotalSpace; }
  std::int64_t TotalFree() const { return FTotalFree; }
  const TVolumeInformationRecord& VolumeInfo() const { return FVolumeInfo; }
  bool FreeIsEnough() const { return FFreeIsEnough; }

  // The five value texts, as the panel shows them.
  std::string DiskLabelText() const;
  std::string DriveTypeText() const;
  std::string FileSystemText() const;
  std::string DiskSizeText() const;
  std::string FreeSpaceText() const;

 private:
  void LoadVolumeInfo();
  void LoadSpaceInfo();
  void CheckFreeSpace() { FFreeIsEnough = FCompareSize <= FFreeAvailable; }

  platform::IDriveTable* FSystem;
  std::string FDrive;  // designator; empty for none
  std::int64_t FTotalFree = 0;
  std::int64_t FFreeAvailable = 0;
  std::int64_t FTotalSpace = 0;
  TVolumeInformationRecord FVolumeInfo;  // own copy, texts included
  std::int64_t FCompareSize = 0;
  bool FFreeIsEnough = true;  // FCompareSize <= FFreeAvailable
};

// The text of a drive type ("CD-ROM", "Hard drive", ...).
std::string DriveTypeName(TDriveType type);

// The right column of a disk panel: the x at which both right captions end.
// It starts at the middle of the panel, but never over the left value column.
inline int RightCaptionEdge(int valueLeft, int valueWidth, int clientWidth, int captionWidth1,
                            int captionWidth2) {
  const int start = std::max(valueLeft + valueWidth + 8, clientWidth / 2);
  return start + std::max(captionWidth1, captionWidth2);
}
