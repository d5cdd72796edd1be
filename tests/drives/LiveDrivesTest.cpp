// The drive table and the device notifier on the running system: a tmpfs
// mounted in a temporary folder (we run as root) must show up as a RAM drive
// and wake the notifier, and go again when unmounted.

#include <poll.h>

#include <gtest/gtest.h>

#include <sstream>

#include "FaultDisc.h"
#include "RunProcess.h"
#include "ScopedMount.h"
#include "TempDir.h"
#include "engine/uDiskUtils.h"
#include "platform/DeviceNotifier.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using testsupport::ScopedMount;

class LiveDrives : public ::testing::Test {
 protected:
  void SetUp() override {
    Drives.clear();
    fs::create_directory(dir / "ram disk");
    point = fs::canonical(dir / "ram disk");  // the mount table holds the real path
  }
  void TearDown() override { Drives.clear(); }

  testsupport::TempDir dir;
  fs::path point;
};

#define ASSERT_MOUNTED(m) \
  ASSERT_TRUE((m).mounted()) << "cannot mount a tmpfs (the test needs root): " << (m).error()

TEST_F(LiveDrives, NotifierReportsMountAndUnmount) {
  platform::DeviceNotifier notifier;
  notifier.ReadEvents();
  ScopedMount tmpfs(ScopedMount::Tmpfs(), point);
  ASSERT_MOUNTED(tmpfs);
  EXPECT_TRUE(notifier.WaitForChange(30s));

  ASSERT_TRUE(tmpfs.Unmount());
  EXPECT_TRUE(notifier.WaitForChange(30s));
}

// A GUI's event loop polls the descriptor before asking what happened; that
// poll must not swallow the change.
TEST_F(LiveDrives, NotifierDescriptorWakesAnEventLoop) {
  platform::DeviceNotifier notifier;
  notifier.ReadEvents();
  ScopedMount tmpfs(ScopedMount::Tmpfs(), point);
  ASSERT_MOUNTED(tmpfs);
  pollfd fd{notifier.FileDescriptor(), POLLIN, 0};
  ASSERT_EQ(::poll(&fd, 1, 30000), 1) << "the descriptor did not become readable";
  EXPECT_TRUE(notifier.ReadEvents());
}

TEST_F(LiveDrives, MountedTmpfsIsARamDriveUntilUnmounted) {
  ScopedMount tmpfs(ScopedMount::Tmpfs(), point);
  ASSERT_MOUNTED(tmpfs);
  UpdateDrives();
  const auto* rec = FindDrive(point.native());
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec->DriveType, dtRAM);
  EXPECT_EQ(rec->FileSystemName, "tmpfs");
  EXPECT_EQ(rec->MaximumComponentLength, 255u);
  TDiskSpace space;
  ASSERT_TRUE(ReadDiskSpace(point.native(), space));
  EXPECT_EQ(space.TotalBytes, 1024u * 1024u);

  ASSERT_TRUE(tmpfs.Unmount());
  UpdateDrives();
  rec = FindDrive(point.native());
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec->DriveType, dtUnknown);
  EXPECT_EQ(rec->FileSystemName, "tmpfs");
}

// A real loop device: the drive table finds it through sysfs and, since it
// holds no disc format, calls it a fixed disk. (This kernel may lack iso9660
// and udf; loop-mounted disc images are covered by the recorded systems.)
TEST_F(LiveDrives, LoopMountedDiskImageIsAFixedDrive) {
  const auto image = dir / "disk.img";
  const auto made = testsupport::RunProcess(
      {"mke2fs", "-q", "-F", "-t", "ext2", "-L", "LIVE_DISK", image.native(), "1024"});
  ASSERT_EQ(made.exitCode, 0) << "mke2fs failed: " << made.err;
  ScopedMount disk(ScopedMount::ReadOnlyImage(image, "ext2"), point);
  ASSERT_TRUE(disk.mounted()) << "cannot mount the image on a loop device: " << disk.error();

  UpdateDrives();
  const auto* rec = FindDrive(point.native());
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec->DriveType, dtFixed);
  EXPECT_EQ(rec->FileSystemName, "ext2");
  EXPECT_EQ(rec->MaximumComponentLength, 255u);
}

TEST_F(LiveDrives, CliListsTmpfsAsRam) {
  ScopedMount tmpfs(ScopedMount::Tmpfs(), point);
  ASSERT_MOUNTED(tmpfs);
  const auto result = testsupport::RunProcess({testsupport::BinDir() / "velmora-cli", "drives"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::istringstream lines(result.out);
  std::string line, found;
  while (std::getline(lines, line))
    if (line.rfind(point.native() + "\t", 0) == 0) found = line;
  EXPECT_EQ(found, point.native() + "\tRAM\t\ttmpfs\t1048576\t1048576") << result.out;
  EXPECT_NE(result.out.find("/\tfixed\t"), std::string::npos) << result.out;
}

// A disc image mounted through FUSE with the subtype iso9660 is what a
// desktop shows as a mounted ISO: an optical drive holding an iso9660 disc.
TEST_F(LiveDrives, CliListsFuseDiscWithIso9660SubtypeAsOptical) {
  testsupport::TempDir source;
  testsupport::WriteFileBytes(source / "README.TXT", "disc contents");
  testsupport::FaultDisc disc(source.path());
  const auto result = testsupport::RunProcess({testsupport::BinDir() / "velmora-cli", "drives"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::istringstream lines(result.out);
  std::string line, found;
  while (std::getline(lines, line))
    if (line.rfind(disc.mountPoint().native() + "\t", 0) == 0) found = line;
  const std::string expected = disc.mountPoint().native() + "\toptical\t\tiso9660\t";
  EXPECT_EQ(found.substr(0, expected.size()), expected) << result.out;
}

}  // namespace
