#pragma once
// A recorded system for the drive table: a folder standing for "/" with the
// kernel's mount table (proc/self/mountinfo), sysfs block devices
// (sys/class/block, sys/dev/block, sys/devices/...) and the device manager's
// /dev/disk/by-label and by-uuid links, plus fakes of statvfs and of udev's
// device properties. Tests write what a case needs into it.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "TempDir.h"
#include "platform/DriveTable.h"

namespace drivetest {

// One block device as sysfs shows it.
struct DeviceSpec {
  std::string name;        // kernel name: "sr0", "sdb1"
  std::string numbers;     // "major:minor"
  bool removable = false;  // the disk's removable flag
  std::string disk;        // the disk holding a partition; empty for a whole disk
};

// A mountinfo line: "id 1 major:minor root mountPoint rw - type source rw".
// Blanks in the mount point are written "\040" as the kernel does.
std::string MountLine(const std::string& numbers, const std::string& mountPoint,
                      const std::string& fsType, const std::string& source,
                      const std::string& root = "/", const std::string& superOptions = "rw");

// The first 17 sectors of an ISO 9660 image whose primary volume descriptor
// carries the given volume identifier.
std::string IsoImageStart(const std::string& volumeId);

class SystemFixture {
 public:
  SystemFixture();
  const std::filesystem::path& root() const { return dir_.path(); }

  void SetMountTable(const std::string& text);
  void AddDevice(const DeviceSpec& device);
  void RemoveDevice(const std::string& name);
  // A /dev/disk/by-label or by-uuid link; the name as udev escapes it ("MY\x20STICK").
  void AddLabelLink(const std::string& escapedLabel, const std::string& device);
  void AddUuidLink(const std::string& uuid, const std::string& device);
  // A device node holding the given bytes (the start of a disc image).
  void AddDeviceNode(const std::string& name, const std::string& bytes);

  std::map<std::string, std::map<std::string, std::string>> udev;  // kernel name -> properties
  std::set<std::string> deadFileSystems;  // designators whose statvfs fails
  std::vector<std::string> statvfsCalls;  // designators asked, in order

  // A drive table reading this fixture; the fixture must outlive it.
  std::unique_ptr<platform::IDriveTable> MakeTable();

 private:
  testsupport::TempDir dir_;
};

}  // namespace drivetest
