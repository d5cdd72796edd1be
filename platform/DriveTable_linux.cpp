// The drive table on Linux: built from the kernel's mount table, sysfs, the
// device manager's properties (udev) or its /dev/disk/by-label links, and
// statvfs. Every file is read below a system root so that tests can build the
// table from recorded fixtures.

#include <sys/statvfs.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <set>
#include <string_view>

#include "platform/DeviceProperties_linux.h"
#include "platform/DriveTable.h"
#include "platform/Files.h"
#include "platform/MountTable.h"
#include "platform/VolumeProbe_linux.h"

namespace platform {

namespace fs = std::filesystem;

namespace {

// Kernel interfaces and bookkeeping file systems: never a place for files.
constexpr std::array<std::string_view, 28> kPseudoFileSystems = {
    "proc",        "sysfs",       "devtmpfs",        "devpts",
    "cgroup",      "cgroup2",     "mqueue",          "debugfs",
    "tracefs",     "securityfs",  "pstore",          "bpf",
    "configfs",    "fusectl",     "hugetlbfs",       "autofs",
    "binfmt_misc", "efivarfs",    "selinuxfs",       "rpc_pipefs",
    "nsfs",        "nfsd",        "sockfs",          "pipefs",
    "fuse.lxcfs",  "fuse.portal", "fuse.gvfsd-fuse", "fuse.xdg-document-portal"};

// File systems whose files live on another machine (or on a virtual
// machine's host, which a guest reaches like a share).
constexpr std::array<std::string_view, 24> kNetworkFileSystems = {"nfs",
                                                                  "nfs4",
                                                                  "cifs",
                                                                  "smb3",
                                                                  "smbfs",
                                                                  "ncpfs",
                                                                  "9p",
                                                                  "afs",
                                                                  "ceph",
                                                                  "coda",
                                                                  "lustre",
                                                                  "orangefs",
                                                                  "davfs",
                                                                  "virtiofs",
                                                                  "vboxsf",
                                                                  "sshfs",
                                                                  "fuse.sshfs",
                                                                  "fuse.rclone",
                                                                  "fuse.s3fs",
                                                                  "fuse.glusterfs",
                                                                  "fuse.curlftpfs",
                                                                  "fuse.davfs2",
                                                                  "fuse.vmhgfs-fuse",
                                                                  "fuse.cephfs"};

template <std::size_t N>
bool IsOneOf(const std::array<std::string_view, N>& list, std::string_view name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

std::string ReadFirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

// udev's encoding of labels in links and ID_FS_LABEL_ENC: "\x20" is a blank.
std::string DecodeDeviceName(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned value = 0;
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
        std::from_chars(text.data() + i + 2, text.data() + i + 4, value, 16).ptr ==
            text.data() + i + 4) {
      out += static_cast<char>(value);
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool IsHex(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  });
}

// A serial number is only taken from the UUIDs that are one: FAT and exFAT
// write it as "ABCD-1234", NTFS as sixteen hex digits (of which the system
// shows the low 32 bits). 128-bit UUIDs and the creation dates that iso9660
// and udf give as UUID are no serial number.
std::uint32_t SerialFromUuid(std::string_view uuid) {
  std::string digits;
  if (uuid.size() == 9 && uuid[4] == '-' && IsHex(uuid.substr(0, 4)) && IsHex(uuid.substr(5)))
    digits = std::string(uuid.substr(0, 4)) + std::string(uuid.substr(5));
  else if (uuid.size() == 16 && IsHex(uuid))
    digits = std::string(uuid.substr(8));
  else
    return 0;
  std::uint32_t value = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  return value;
}

// The block device behind a mount, as sysfs names it.
struct BlockDevice {
  std::string name;  // kernel name: "sr0", "sda1", "loop3"
  unsigned major = 0;
  bool removable = false;
};

struct Drive {
  std::string designator;
  DriveTypeCode type = DriveTypeCode::Unknown;
  std::optional<MountEntry> mount;    // none for an optical drive without a mounted disc
  std::optional<BlockDevice> device;  // none for network, RAM and FUSE file systems
  std::string fileSystemName;
};

class LinuxDriveTable final : public IDriveTable {
 public:
  explicit LinuxDriveTable(DriveTableSources sources) : FSources(std::move(sources)) {}

  std::vector<DriveListing> ListDrives() override {
    std::vector<DriveListing> list;
    for (const auto& drive : ReadDrives()) list.push_back({drive.designator, drive.type});
    return list;
  }

  bool QueryVolume(const std::string& designator, VolumeInfo& info) override {
    const auto drive = FindDrive(designator);
    if (!drive || !drive->mount) return false;
    const auto stats = FSources.fileSystemStats(drive->designator);
    if (!stats) return false;
    info.fileSystemName = drive->fileSystemName;
    info.maximumComponentLength = stats->maximumComponentLength;
    info.fileSystemFlags = stats->flags;
    info.label.clear();
    info.serialNumber = 0;
    if (drive->device) {
      const auto properties = FSources.deviceProperties(drive->device->name);
      info.label = Label(*drive->device, properties);
      info.serialNumber = SerialFromUuid(Uuid(*drive->device, properties));
    }
    return true;
  }

  std::optional<DiskSpace> QueryDiskSpace(const std::string& designator) override {
    // Any folder can be asked (a target folder below a bind mount is on no
    // listed drive); a device node, such as an optical drive without a
    // mounted disc, has no space of its own.
    if (designator.empty() || designator.front() != '/' || IsAtOrBelow(designator, "/dev"))
      return std::nullopt;
    const auto stats = FSources.fileSystemStats(designator);
    if (!stats) return std::nullopt;
    return DiskSpace{stats->freeBytes, stats->totalBytes};
  }

 private:
  fs::path Below(std::string_view absolute) const {
    return FSources.systemRoot / fs::path(absolute).relative_path();
  }

  std::optional<Drive> FindDrive(const std::string& designator) const {
    for (auto& drive : ReadDrives())
      if (drive.designator == designator) return drive;
    return std::nullopt;
  }

  std::vector<Drive> ReadDrives() const {
    // Of several mounts at one place only the last is visible.
    std::map<fs::path, MountEntry> visible;
    for (auto& entry : ReadMountTable(Below("/proc/self/mountinfo")))
      visible.insert_or_assign(entry.mountPoint, std::move(entry));

    std::vector<Drive> drives;
    std::set<std::string> mountedDevices;
    for (auto& [point, entry] : visible) {
      if (!IsDrive(entry)) continue;
      Drive drive = Classify(entry);
      if (drive.device) mountedDevices.insert(drive.device->name);
      drives.push_back(std::move(drive));
    }
    for (auto& device : OpticalDevices()) {
      if (mountedDevices.count(device.name)) continue;
      const std::string node = "/dev/" + device.name;
      drives.push_back({node, DriveTypeCode::Optical, std::nullopt, device, ""});
    }
    std::sort(drives.begin(), drives.end(),
              [](const Drive& a, const Drive& b) { return a.designator < b.designator; });
    return drives;
  }

  static bool IsDrive(const MountEntry& entry) {
    // A bind mount of a folder or a file inside another file system (as
    // containers get for /etc/hosts) is not a volume of its own; a btrfs
    // subvolume mounted as such ("/@home" with subvol=/@home) is.
    if (entry.root != "/" && MountOptionValue(entry.superOptions, "subvol") != entry.root)
      return false;
    if (IsOneOf(kPseudoFileSystems, entry.fsType)) return false;
    const auto& point = entry.mountPoint;
    if (IsAtOrBelow(point, "/proc") || IsAtOrBelow(point, "/sys") || IsAtOrBelow(point, "/dev"))
      return false;
    // /run, /run/lock and /run/user/1000 are the system's runtime space, not
    // RAM disks; a disc that the desktop mounts below /run/media is a drive.
    if ((entry.fsType == "tmpfs" || entry.fsType == "ramfs") && IsAtOrBelow(point, "/run"))
      return false;
    return true;
  }

  Drive Classify(const MountEntry& entry) const {
    Drive drive;
    drive.designator = entry.mountPoint.native();
    drive.mount = entry;
    drive.fileSystemName = entry.fsType;
    const std::string_view type = entry.fsType;
    if (IsOneOf(kNetworkFileSystems, type)) {
      drive.type = DriveTypeCode::Network;
    } else if (type == "tmpfs" || type == "ramfs") {
      drive.type = DriveTypeCode::Ram;
    } else if (type == "fuse.iso9660" || type == "fuse.udf" || type == "fuse.fuseiso") {
      // A disc image served by a FUSE program: the system shows a mounted
      // image as an optical drive.
      drive.type = DriveTypeCode::Optical;
      drive.fileSystemName = type == "fuse.udf" ? "udf" : "iso9660";
    } else if ((drive.device = BlockDeviceOf(entry))) {
      drive.type = BlockDeviceType(*drive.device, entry.fsType);
      if (type == "fuseblk") {  // ntfs-3g, exfat-fuse: the device manager knows the real name
        const auto properties = FSources.deviceProperties(drive.device->name);
        if (const auto it = properties.find("ID_FS_TYPE"); it != properties.end())
          drive.fileSystemName = it->second;
      }
    } else {
      // overlay, zfs and other file systems without a block device of their own.
      drive.type = DriveTypeCode::Fixed;
    }
    return drive;
  }

  DriveTypeCode BlockDeviceType(const BlockDevice& device, std::string_view fsType) const {
    if (IsOptical(device)) return DriveTypeCode::Optical;
    const bool loop = device.major == 7 || device.name.rfind("loop", 0) == 0;
    if (loop && (fsType == "iso9660" || fsType == "udf")) return DriveTypeCode::Optical;
    if (device.name.rfind("zram", 0) == 0 || device.name.rfind("ram", 0) == 0)
      return DriveTypeCode::Ram;
    return device.removable ? DriveTypeCode::Removable : DriveTypeCode::Fixed;
  }

  bool IsOptical(const BlockDevice& device) const {
    if (device.major == 11 || device.name.rfind("sr", 0) == 0) return true;
    // Virtual disks are never optical drives; sparing them the device
    // manager's lookup keeps a refresh quick on systems with many snaps.
    for (const std::string_view prefix : {"loop", "ram", "zram", "dm-", "md", "nbd"})
      if (device.name.rfind(prefix, 0) == 0) return false;
    const auto properties = FSources.deviceProperties(device.name);
    const auto it = properties.find("ID_CDROM");
    return it != properties.end() && it->second == "1";
  }

  std::optional<BlockDevice> BlockDeviceOf(const MountEntry& entry) const {
    std::error_code ec;
    if (entry.major != 0) {
      const auto link = Below("/sys/dev/block") /
                        (std::to_string(entry.major) + ":" + std::to_string(entry.minor));
      if (fs::exists(link, ec)) return ReadBlockDevice(fs::canonical(link, ec));
    }
    // File systems with anonymous device numbers (btrfs) name their device as source.
    if (entry.source.rfind("/dev/", 0) == 0) {
      auto node = fs::canonical(Below(entry.source), ec);
      const auto dir = Below("/sys/class/block") / (ec ? fs::path(entry.source) : node).filename();
      if (fs::exists(dir, ec)) return ReadBlockDevice(fs::canonical(dir, ec));
    }
    return std::nullopt;
  }

  static std::optional<BlockDevice> ReadBlockDevice(const fs::path& sysDir) {
    if (sysDir.empty()) return std::nullopt;
    BlockDevice device;
    device.name = sysDir.filename().native();
    const std::string dev = ReadFirstLine(sysDir / "dev");  // "11:0"
    std::from_chars(dev.data(), dev.data() + dev.size(), device.major);
    // A partition is as removable as the disk that holds it.
    std::error_code ec;
    const fs::path disk = fs::exists(sysDir / "partition", ec) ? sysDir.parent_path() : sysDir;
    device.removable = ReadFirstLine(disk / "removable") == "1";
    return device;
  }

  std::vector<BlockDevice> OpticalDevices() const {
    std::vector<BlockDevice> devices;
    std::error_code ec;
    for (const auto& item : fs::directory_iterator(Below("/sys/class/block"), ec)) {
      std::error_code ignored;
      auto device = ReadBlockDevice(fs::canonical(item.path(), ignored));
      if (device && IsOptical(*device)) devices.push_back(std::move(*device));
    }
    return devices;
  }

  // The device manager's label, or the name of its by-label link to the
  // device, or what the file system itself records.
  std::string Label(const BlockDevice& device,
                    const std::map<std::string, std::string>& properties) const {
    if (const auto it = properties.find("ID_FS_LABEL_ENC"); it != properties.end())
      return DecodeDeviceName(it->second);
    if (const auto it = properties.find("ID_FS_LABEL"); it != properties.end()) return it->second;
    if (auto link = LinkNameFor(Below("/dev/disk/by-label"), device.name); !link.empty())
      return DecodeDeviceName(link);
    return ProbeVolumeIds(Below("/dev/" + device.name)).label;
  }

  std::string Uuid(const BlockDevice& device,
                   const std::map<std::string, std::string>& properties) const {
    if (const auto it = properties.find("ID_FS_UUID"); it != properties.end()) return it->second;
    if (auto link = LinkNameFor(Below("/dev/disk/by-uuid"), device.name); !link.empty())
      return link;
    return ProbeVolumeIds(Below("/dev/" + device.name)).uuid;
  }

  static std::string LinkNameFor(const fs::path& folder, const std::string& deviceName) {
    std::error_code ec;
    for (const auto& item : fs::directory_iterator(folder, ec)) {
      std::error_code ignored;
      const auto target = fs::read_symlink(item.path(), ignored);
      if (!ignored && target.filename() == deviceName) return item.path().filename().native();
    }
    return {};
  }

  DriveTableSources FSources;
};

std::optional<FileSystemStats> SystemFileSystemStats(const fs::path& path) {
  struct statvfs st {};
  if (::statvfs(path.c_str(), &st) != 0) return std::nullopt;
  FileSystemStats stats;
  stats.maximumComponentLength = static_cast<std::uint32_t>(st.f_namemax);
  stats.flags = static_cast<std::uint32_t>(st.f_flag);
  stats.freeBytes = static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
  stats.totalBytes = static_cast<std::uint64_t>(st.f_blocks) * st.f_frsize;
  return stats;
}

}  // namespace

std::unique_ptr<IDriveTable> MakeDriveTable(DriveTableSources sources) {
  if (!sources.fileSystemStats) sources.fileSystemStats = SystemFileSystemStats;
  if (!sources.deviceProperties) {
    if (sources.systemRoot == "/")
      sources.deviceProperties = UdevBlockDeviceProperties;
    else
      sources.deviceProperties = [](const std::string&) {
        return std::map<std::string, std::string>();
      };
  }
  return std::make_unique<LinuxDriveTable>(std::move(sources));
}

IDriveTable& SystemDriveTable() {
  static const auto table = MakeDriveTable();
  return *table;
}

}  // namespace platform
