// A whole disc as a block device: a loop device (2048-byte sectors, direct
// I/O) over an image on the damaged disc, copied through the system's
// unbuffered opener as a drive would be.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "FaultDisc.h"
#include "FuseDisc.h"
#include "LoopDevice.h"
#include "TempDir.h"

namespace recovery_test {
namespace {

using testsupport::FaultDisc;
using testsupport::LoopDevice;
using testsupport::RangeAttempts;
using testsupport::TempDir;

constexpr std::int64_t ImageSectors = 64;
const std::vector<std::int64_t> BadSectors = {5, 20, 21, 63};
// Good neighbours of the bad sectors, listed only to be counted.
const std::vector<std::int64_t> Neighbours = {4, 6, 19, 22, 62};

std::string Faults() {
  std::string faults;
  for (const auto s : BadSectors)
    faults += "bad /disc.iso " + std::to_string(s) + "s " + std::to_string(s + 1) + "s\n";
  for (const auto s : Neighbours)
    faults += "bad /disc.iso " + std::to_string(s) + "s " + std::to_string(s + 1) + "s 0\n";
  return faults;
}

RangeAttempts Counted(const FaultDisc& disc, std::int64_t sector) {
  return disc.attempts("/disc.iso", static_cast<std::uint64_t>(sector * Sector),
                       static_cast<std::uint64_t>((sector + 1) * Sector));
}

TEST(LoopDeviceCopy, SystemOpenerReadsTheDeviceDirectly) {
  TempDir source;
  testsupport::WriteFileBytes(source / "disc.iso", SectorPattern(ImageSectors * Sector));
  FaultDisc disc(source.path(), Faults());
  LoopDevice loop(disc / "disc.iso");
  ASSERT_TRUE(loop.directIo()) << "the loop driver reads its FUSE backing file through the cache";

  std::string error;
  const auto file = platform::SystemUnbufferedOpener().Open(loop.device(), error);
  ASSERT_NE(file, nullptr) << error;
  EXPECT_EQ(file->Size(), ImageSectors * Sector);
  EXPECT_EQ(file->Path(), platform::ReadPath::Direct) << platform::ReadPathText(file->Path());
}

// Sector by sector, and in runs, where every neighbour was in a failed run
// [0,32) or [60,64) and is read once more alone.
class LoopDeviceCopyRead : public testing::TestWithParam<int> {};

TEST_P(LoopDeviceCopyRead, BadSectorsBecomeZerosAfterThreeAttemptsEach) {
  ScopedRunSectors runs(GetParam());
  const std::uint64_t neighbourReads = GetParam() == 1 ? 1u : 2u;
  TempDir source, out;
  const std::string bytes = SectorPattern(ImageSectors * Sector);
  testsupport::WriteFileBytes(source / "disc.iso", bytes);
  FaultDisc disc(source.path(), Faults());
  LoopDevice loop(disc / "disc.iso");
  ASSERT_TRUE(loop.directIo()) << "the loop driver reads its FUSE backing file through the cache";
  // Whatever probed the new device (udev, blkid) has read before the copy.
  std::map<std::int64_t, RangeAttempts> before;
  for (const auto s : BadSectors) before[s] = Counted(disc, s);
  for (const auto s : Neighbours) before[s] = Counted(disc, s);
  EventLog log;
  log.source = loop.device();

  const auto result = BadFileRestorator::SaveFile(loop.device(), out / "disc.iso", log.Proc());

  EXPECT_EQ(result, fscNormal);
  EXPECT_TRUE(
      SameBytes(testsupport::ReadFileBytes(out / "disc.iso"), WithZeroSectors(bytes, BadSectors)));
  EXPECT_EQ(std::count(log.events.begin(), log.events.end(), "progress - 0 normal"),
            3 * static_cast<std::ptrdiff_t>(BadSectors.size()));
  for (const auto s : BadSectors) {
    const auto now = Counted(disc, s);
    EXPECT_EQ(now.attempts - before[s].attempts, 3u) << "sector " << s;
    EXPECT_EQ(now.failures - before[s].failures, 3u) << "sector " << s;
  }
  for (const auto s : Neighbours) {
    const auto now = Counted(disc, s);
    EXPECT_EQ(now.attempts - before[s].attempts, neighbourReads) << "sector " << s;
    EXPECT_EQ(now.failures, 0u) << "sector " << s;
  }
}

INSTANTIATE_TEST_SUITE_P(LoopDeviceCopy, LoopDeviceCopyRead, testing::Values(1, 32),
                         [](const auto& info) {
                           return std::string(info.param == 1 ? "BySector" : "InRuns");
                         });

// Only files and block devices have a length to copy up to.
TEST(LoopDeviceCopy, CharacterDeviceIsNotASource) {
  std::string error;
  EXPECT_EQ(platform::SystemUnbufferedOpener().Open("/dev/zero", error), nullptr);
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace recovery_test
