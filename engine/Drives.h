#pragma once
// Drives and volume information: the process-wide table of drives with their
// type, label and file system; the volume query; the caption of a drive in the
// drive list; byte counts for display; the exceptions about unreachable drives.
//
// A drive is named by its designator: the mount point of its volume
// ("/media/alice/BACKUP_2009"), or the device node of an optical drive without
// a mounted disc ("/dev/sr0"). The empty designator means "no drive".

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DriveTable.h"

// The ordinals are the system's drive-type codes.
enum TDriveType : std::uint8_t {
  dtUnknown = 0,  // no drive, gone, unknown type, or a network drive
  dtNoDrive = 1,  // the root path is not valid
  dtFloppy = 2,   // removable drive (a USB stick, a card reader)
  dtFixed = 3,    // fixed disk
  dtNetwork = 4,  // network drive; never stored in Drives
  dtCDROM = 5,    // optical drive, or a mounted disc image
  dtRAM = 6,      // RAM disk (tmpfs)
};

struct TVolumeInformationRecord {
  std::string Letter;        // the designator
  std::string RootPathName;  // the designator as a folder to open
  std::string VolumeName;    // the label; empty when the volume cannot be read
  std::uint32_t SerialNumber = 0;
  std::uint32_t MaximumComponentLength = 0;
  std::uint32_t FileSystemFlags = 0;  // statvfs f_flag bits
  std::string FileSystemName;         // "iso9660", "udf", ...; empty when no readable volume
  TDriveType DriveType = dtUnknown;
};

// Every drive seen since the program started, in ascending order of Letter.
// A drive that went away keeps its record with DriveType dtUnknown; readers
// treat dtUnknown as "no drive" and look at nothing else. Written only by
// UpdateDrives, on the GUI thread.
extern std::vector<TVolumeInformationRecord> Drives;

// Refreshes Drives from the system's drive table (or the given one); never throws.
void UpdateDrives();
void UpdateDrives(platform::IDriveTable& system);

// Fills ARec from the volume query of the drive ALetter; on failure the label
// and file-system name are empty and the numbers keep their values. Leaves
// ARec.DriveType alone. True when the query succeeded.
bool ReadVolumeInformation(const std::string& ALetter, TVolumeInformationRecord& ARec);
bool ReadVolumeInformation(platform::IDriveTable& system, const std::string& ALetter,
                           TVolumeInformationRecord& ARec);

// The record of a designator in Drives, or nullptr.
TVolumeInformationRecord* FindDrive(std::string_view ALetter);

struct TDiskSpace {
  std::uint64_t FreeBytes = 0;  // available to the user
  std::uint64_t TotalBytes = 0;
};
// Free and total space of the volume of drive ALetter (or of the volume that
// holds the folder ALetter); false when there is none.
bool ReadDiskSpace(const std::string& ALetter, TDiskSpace& ASpace);
bool ReadDiskSpace(platform::IDriveTable& system, const std::string& ALetter, TDiskSpace& ASpace);

// "designator : label [file system]", or "designator : label" without a file system.
std::string VolumeCaption(const TVolumeInformationRecord& ARec);

// A byte count in decimal steps of 1000 ("999 Bytes", "1.50 MB", "4.70 GB"),
// with the user's decimal separator, or the given one.
std::string FormatSize(std::int64_t ASize);
std::string FormatSize(std::int64_t ASize, std::string_view decimalSeparator);

// Errors about a drive that cannot be reached.
class CustomDriveException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class NoDriveException : public CustomDriveException {
 public:
  using CustomDriveException::CustomDriveException;
};
