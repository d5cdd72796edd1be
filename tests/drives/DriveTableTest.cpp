// The drive table built from recorded systems: one row per kind of drive.
// Every case also holds the root file system "/" on a fixed disk vda.

#include <gtest/gtest.h>

#include <algorithm>

#include "RunProcess.h"
#include "SystemFixture.h"
#include "TempDir.h"
#include "engine/uDiskUtils.h"

namespace {

using drivetest::DeviceSpec;
using drivetest::MountLine;

struct Expected {
  std::string designator;
  TDriveType type;
  std::string label;
  std::string fileSystem;
  std::uint32_t serial = 0;
};

struct TableCase {
  std::string name;
  std::string mounts;
  std::vector<DeviceSpec> devices;
  std::vector<std::pair<std::string, std::string>> labelLinks;  // escaped label, device
  std::vector<std::pair<std::string, std::string>> uuidLinks;   // uuid, device
  std::map<std::string, std::map<std::string, std::string>> udev;
  std::set<std::string> dead;                     // file systems that do not answer statvfs
  std::vector<Expected> expected;                 // the whole table after "/"
  std::map<std::string, std::string> nodes = {};  // device nodes and their first bytes
};

std::ostream& operator<<(std::ostream& out, const TableCase& c) { return out << c.name; }

class DriveTableTest : public ::testing::TestWithParam<TableCase> {
 protected:
  void SetUp() override { Drives.clear(); }
  void TearDown() override { Drives.clear(); }
};

TEST_P(DriveTableTest, ListsDrivesWithTypeLabelAndFileSystem) {
  const auto& c = GetParam();
  drivetest::SystemFixture system;
  system.AddDevice({"vda", "254:0", false, ""});
  for (const auto& device : c.devices) system.AddDevice(device);
  for (const auto& [label, device] : c.labelLinks) system.AddLabelLink(label, device);
  for (const auto& [uuid, device] : c.uuidLinks) system.AddUuidLink(uuid, device);
  system.udev = c.udev;
  system.deadFileSystems = c.dead;
  for (const auto& [name, bytes] : c.nodes) system.AddDeviceNode(name, bytes);
  system.SetMountTable(MountLine("254:0", "/", "ext4", "/dev/vda") + c.mounts);
  const auto table = system.MakeTable();

  UpdateDrives(*table);

  std::vector<Expected> expected = {{"/", dtFixed, "", "ext4"}};
  expected.insert(expected.end(), c.expected.begin(), c.expected.end());
  ASSERT_EQ(Drives.size(), expected.size()) << [&] {
    std::string listed;
    for (const auto& rec : Drives) listed += rec.Letter + " ";
    return "listed: " + listed;
  }();
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].designator);
    const auto& rec = Drives[i];
    EXPECT_EQ(rec.Letter, expected[i].designator);
    EXPECT_EQ(rec.RootPathName, expected[i].designator);
    EXPECT_EQ(rec.DriveType, expected[i].type);
    EXPECT_EQ(rec.VolumeName, expected[i].label);
    EXPECT_EQ(rec.FileSystemName, expected[i].fileSystem);
    EXPECT_EQ(rec.SerialNumber, expected[i].serial);
    if (!rec.FileSystemName.empty()) {
      EXPECT_EQ(rec.MaximumComponentLength, 255u);
    }
    // Network drives are stored as unknown and their volume is never asked.
    if (rec.DriveType == dtUnknown) {
      EXPECT_EQ(std::count(system.statvfsCalls.begin(), system.statvfsCalls.end(), rec.Letter), 0);
    }
  }
}

const std::string kDvd = MountLine("11:0", "/media/alice/BACKUP_2009", "iso9660", "/dev/sr0");

INSTANTIATE_TEST_SUITE_P(
    Systems, DriveTableTest,
    ::testing::Values(
        TableCase{"OpticalDriveWithMountedDisc",
                  kDvd,
                  {{"sr0", "11:0", true, ""}},
                  {{"BACKUP_2009", "sr0"}},
                  {{"2009-01-02-03-04-05-00", "sr0"}},  // a date, not a serial
                  {},
                  {},
                  {{"/media/alice/BACKUP_2009", dtCDROM, "BACKUP_2009", "iso9660"}}},
        // /cdrom sorts before /dev/sr1, so the empty drive is asked right
        // after one that holds a readable volume.
        TableCase{"EmptyOpticalDriveAfterReadableOne",
                  MountLine("11:0", "/cdrom", "iso9660", "/dev/sr0"),
                  {{"sr0", "11:0", true, ""}, {"sr1", "11:1", true, ""}},
                  {{"CD_ONE", "sr0"}},
                  {},
                  {},
                  {},
                  {{"/cdrom", dtCDROM, "CD_ONE", "iso9660"}, {"/dev/sr1", dtCDROM, "", ""}}},
        TableCase{"EmptyOpticalDriveKnownOnlyToUdev",
                  "",
                  {{"pcd0", "46:0", true, ""}},
                  {},
                  {},
                  {{"pcd0", {{"ID_CDROM", "1"}}}},
                  {},
                  {{"/dev/pcd0", dtCDROM, "", ""}}},
        TableCase{"IsoImageOnLoopDevice",
                  MountLine("7:3", "/mnt/image", "iso9660", "/dev/loop3"),
                  {{"loop3", "7:3", false, ""}},
                  {{"IMAGE", "loop3"}},
                  {},
                  {},
                  {},
                  {{"/mnt/image", dtCDROM, "IMAGE", "iso9660"}}},
        TableCase{"IsoLabelReadFromTheDiscWithoutUdev",
                  MountLine("7:6", "/mnt/disc", "iso9660", "/dev/loop6"),
                  {{"loop6", "7:6", false, ""}},
                  {},
                  {},
                  {},
                  {},
                  {{"/mnt/disc", dtCDROM, "PHOTOS 2009", "iso9660"}},
                  {{"loop6", drivetest::IsoImageStart("PHOTOS 2009")}}},
        TableCase{"UdfImageOnLoopDevice",
                  MountLine("7:4", "/mnt/bluray", "udf", "/dev/loop4"),
                  {{"loop4", "7:4", false, ""}},
                  {{"MOVIE\\x20DISC", "loop4"}},
                  {},
                  {},
                  {},
                  {{"/mnt/bluray", dtCDROM, "MOVIE DISC", "udf"}}},
        TableCase{"OtherImageOnLoopDeviceIsFixed",
                  MountLine("7:5", "/snap/core/17", "squashfs", "/dev/loop5"),
                  {{"loop5", "7:5", false, ""}},
                  {},
                  {},
                  {},
                  {},
                  {{"/snap/core/17", dtFixed, "", "squashfs"}}},
        TableCase{"FuseDiscsNamedByTheirSubtype",
                  MountLine("0:55", "/tmp/fault disc", "fuse.iso9660", "velmora-faultfs") +
                      MountLine("0:56", "/tmp/udf", "fuse.udf", "udffs") +
                      MountLine("0:57", "/tmp/iso", "fuse.fuseiso", "fuseiso"),
                  {},
                  {},
                  {},
                  {},
                  {},
                  {{"/tmp/fault disc", dtCDROM, "", "iso9660"},
                   {"/tmp/iso", dtCDROM, "", "iso9660"},
                   {"/tmp/udf", dtCDROM, "", "udf"}}},
        TableCase{"FileSystemThatDoesNotAnswerHasNoVolume",
                  MountLine("0:58", "/mnt/gone", "fuse.iso9660", "velmora-faultfs"),
                  {},
                  {},
                  {},
                  {},
                  {"/mnt/gone"},
                  {{"/mnt/gone", dtCDROM, "", ""}}},
        TableCase{"NetworkDrivesAreStoredAsUnknown",
                  MountLine("0:60", "/net/home", "nfs4", "server:/home") +
                      MountLine("0:61", "/mnt/share", "cifs", "//server/share") +
                      MountLine("0:62", "/mnt/ssh", "fuse.sshfs", "alice@host:") +
                      MountLine("0:63", "/mnt/host", "9p", "hostshare"),
                  {},
                  {},
                  {},
                  {},
                  {},
                  {{"/mnt/host", dtUnknown, "", ""},
                   {"/mnt/share", dtUnknown, "", ""},
                   {"/mnt/ssh", dtUnknown, "", ""},
                   {"/net/home", dtUnknown, "", ""}}},
        TableCase{"TmpfsIsRamButRuntimeFoldersAreNot",
                  MountLine("0:70", "/tmp", "tmpfs", "tmpfs") +
                      MountLine("0:71", "/run", "tmpfs", "tmpfs") +
                      MountLine("0:72", "/run/user/1000", "tmpfs", "tmpfs") +
                      MountLine("0:73", "/dev/shm", "tmpfs", "tmpfs") +
                      MountLine("0:74", "/sys/fs/cgroup", "tmpfs", "tmpfs") +
                      MountLine("0:75", "/mnt/ram", "ramfs", "ramfs"),
                  {},
                  {},
                  {},
                  {},
                  {},
                  {{"/mnt/ram", dtRAM, "", "ramfs"}, {"/tmp", dtRAM, "", "tmpfs"}}},
        TableCase{"RemovableStickWithEscapedLabel",
                  MountLine("8:17", "/media/alice/MY STICK", "vfat", "/dev/sdb1"),
                  {{"sdb", "8:16", true, ""}, {"sdb1", "8:17", false, "sdb"}},
                  {{"MY\\x20STICK", "sdb1"}},
                  {{"ABCD-1234", "sdb1"}},
                  {},
                  {},
                  {{"/media/alice/MY STICK", dtFloppy, "MY STICK", "vfat", 0xABCD1234}}},
        TableCase{"FixedDiskPartitionAndDiskBelowRunMedia",
                  MountLine("8:2", "/home", "ext4", "/dev/sda2") +
                      MountLine("8:33", "/run/media/alice/BACKUP", "xfs", "/dev/sdc1"),
                  {{"sda", "8:0", false, ""},
                   {"sda2", "8:2", false, "sda"},
                   {"sdc", "8:32", false, ""},
                   {"sdc1", "8:33", false, "sdc"}},
                  {{"BACKUP", "sdc1"}},
                  {{"0e2b5c5e-5b1c-4d3e-9a58-2f0c8e1a7b11", "sda2"}},  // 128 bits: no serial
                  {},
                  {},
                  {{"/home", dtFixed, "", "ext4"},
                   {"/run/media/alice/BACKUP", dtFixed, "BACKUP", "xfs"}}},
        TableCase{"NtfsThroughFuseNamedByUdev",
                  MountLine("8:49", "/media/alice/WINDOWS", "fuseblk", "/dev/sdd1"),
                  {{"sdd", "8:48", false, ""}, {"sdd1", "8:49", false, "sdd"}},
                  {},
                  {},
                  {{"sdd1",
                    {{"ID_FS_TYPE", "ntfs"},
                     {"ID_FS_LABEL_ENC", "WINDOWS"},
                     {"ID_FS_UUID", "0123456789ABCDEF"}}}},
                  {},
                  {{"/media/alice/WINDOWS", dtFixed, "WINDOWS", "ntfs", 0x89ABCDEF}}},
        TableCase{
            "LabelFromUdevWinsOverLinks",
            kDvd,
            {{"sr0", "11:0", true, ""}},
            {{"OLD", "sr0"}},
            {},
            {{"sr0", {{"ID_FS_LABEL_ENC", "BACKUP\\x202009"}, {"ID_FS_LABEL", "BACKUP_2009"}}}},
            {},
            {{"/media/alice/BACKUP_2009", dtCDROM, "BACKUP 2009", "iso9660"}}},
        TableCase{"AnonymousDeviceNumbersFoundBySource",
                  MountLine("0:40", "/data", "btrfs", "/dev/sda3"),
                  {{"sda", "8:0", true, ""}, {"sda3", "8:3", false, "sda"}},
                  {},
                  {},
                  {},
                  {},
                  {{"/data", dtFloppy, "", "btrfs"}}},
        TableCase{"CompressedRamDiskIsRam",
                  MountLine("252:0", "/var/cache/build", "ext4", "/dev/zram0"),
                  {{"zram0", "252:0", false, ""}},
                  {},
                  {},
                  {},
                  {},
                  {{"/var/cache/build", dtRAM, "", "ext4"}}},
        TableCase{"PseudoFileSystemsAreNoDrives",
                  MountLine("0:20", "/proc", "proc", "proc") +
                      MountLine("0:21", "/sys", "sysfs", "sysfs") +
                      MountLine("0:22", "/dev", "devtmpfs", "udev") +
                      MountLine("0:23", "/dev/pts", "devpts", "devpts") +
                      MountLine("0:24", "/sys/fs/cgroup/unified", "cgroup2", "cgroup2") +
                      MountLine("0:25", "/dev/mqueue", "mqueue", "mqueue") +
                      MountLine("0:26", "/sys/kernel/debug", "debugfs", "debugfs") +
                      MountLine("0:27", "/sys/kernel/tracing", "tracefs", "tracefs") +
                      MountLine("0:28", "/proc/sys/fs/binfmt_misc", "autofs", "systemd-1") +
                      MountLine("0:29", "/dev/hugepages", "hugetlbfs", "hugetlbfs") +
                      MountLine("0:30", "/run/user/1000/gvfs", "fuse.gvfsd-fuse", "gvfsd-fuse") +
                      MountLine("0:31", "/var/lib/lxcfs", "fuse.lxcfs", "lxcfs") +
                      MountLine("0:32", "/elsewhere/bpf", "bpf", "bpf") +
                      MountLine("0:33", "/elsewhere/cgroup", "cgroup", "cgroup") +
                      MountLine("0:34", "/elsewhere/securityfs", "securityfs", "securityfs") +
                      MountLine("0:35", "/elsewhere/configfs", "configfs", "configfs"),
                  {},
                  {},
                  {},
                  {},
                  {},
                  {}},
        TableCase{"BindMountOfAFolderIsNoDrive",
                  MountLine("254:0", "/etc/hosts", "ext4", "/dev/vda", "/var/lib/docker/hosts") +
                      MountLine("254:0", "/srv/www", "ext4", "/dev/vda", "/home/alice/www"),
                  {},
                  {},
                  {},
                  {},
                  {},
                  {}},
        TableCase{"BtrfsSubvolumesAreDrives",
                  MountLine("0:41", "/home", "btrfs", "/dev/sde2", "/@home",
                            "rw,space_cache=v2,subvolid=257,subvol=/@home") +
                      MountLine("0:41", "/srv/www", "btrfs", "/dev/sde2", "/@home/alice/www",
                                "rw,space_cache=v2,subvolid=257,subvol=/@home"),
                  {{"sde", "8:64", false, ""}, {"sde2", "8:66", false, "sde"}},
                  {},
                  {},
                  {},
                  {},
                  {{"/home", dtFixed, "", "btrfs"}}},
        TableCase{"LaterMountHidesEarlierOne",
                  MountLine("8:1", "/mnt/disc", "ext4", "/dev/sda1") +
                      MountLine("0:80", "/mnt/disc", "tmpfs", "tmpfs"),
                  {{"sda", "8:0", false, ""}, {"sda1", "8:1", false, "sda"}},
                  {},
                  {},
                  {},
                  {},
                  {{"/mnt/disc", dtRAM, "", "tmpfs"}}}),
    [](const auto& info) { return info.param.name; });

// Without udev, a volume's label and serial number come from its own
// superblock, whatever the file system: images made by the real tools.
struct SuperblockCase {
  const char* name;
  std::vector<std::string> mkfs;  // the image's path and its size in KiB are appended
  std::string fsType;
  std::string label;
  std::uint32_t serial;
};

void PrintTo(const SuperblockCase& c, std::ostream* os) { *os << c.name; }

class SuperblockTest : public ::testing::TestWithParam<SuperblockCase> {
 protected:
  void TearDown() override { Drives.clear(); }
};

TEST_P(SuperblockTest, GivesLabelAndSerial) {
  const auto& c = GetParam();
  testsupport::TempDir work;
  auto argv = c.mkfs;
  argv.push_back((work / "image").string());
  argv.push_back("1440");
  const auto made = testsupport::RunProcess(argv);
  ASSERT_EQ(made.exitCode, 0) << made.err;
  drivetest::SystemFixture system;
  system.AddDevice({"vda", "254:0", false, ""});
  system.AddDevice({"loop5", "7:5", false, ""});
  system.AddDeviceNode("loop5", testsupport::ReadFileBytes(work / "image"));
  system.SetMountTable(MountLine("254:0", "/", "ext4", "/dev/vda") +
                       MountLine("7:5", "/mnt/stick", c.fsType, "/dev/loop5"));
  const auto table = system.MakeTable();
  UpdateDrives(*table);
  ASSERT_EQ(Drives.size(), 2u);
  EXPECT_EQ(Drives[1].Letter, "/mnt/stick");
  EXPECT_EQ(Drives[1].VolumeName, c.label);
  EXPECT_EQ(Drives[1].SerialNumber, c.serial);
}

INSTANTIATE_TEST_SUITE_P(
    FileSystems, SuperblockTest,
    ::testing::Values(SuperblockCase{"fat",
                                     {"mkfs.vfat", "-C", "-n", "STICK 2026", "-i", "1A2B3C4D"},
                                     "vfat",
                                     "STICK 2026",
                                     0x1A2B3C4Du},
                      SuperblockCase{"ext2",
                                     {"mke2fs", "-q", "-F", "-t", "ext2", "-L", "BACKUP", "-U",
                                      "0e2b5c5e-5b1c-4d3e-9a58-2f0c8e1a7b11"},
                                     "ext2",
                                     "BACKUP",
                                     0u}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
