// A loop device over an image that velmora-faultfs serves: the bad range of
// the image becomes a bad 2048-byte sector of a block device, read with
// O_DIRECT as the copier reads an optical drive.

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "DiscFiles.h"
#include "FaultDisc.h"
#include "LoopDevice.h"
#include "TempDir.h"

namespace faultfs_test {
namespace {

// Thrown by a test body to show that fixtures clean up on the way out.
struct FailingTest {};

using testsupport::FaultDisc;
using testsupport::LoopDevice;
using testsupport::TempDir;

// disc.iso: 32 sectors; sector 5 is bad, sector 9 fails its first two reads.
constexpr const char* DiscFaults =
    "bad /disc.iso 5s 6s\n"
    "bad /disc.iso 9s 10s 2\n";

struct SectorCase {
  const char* name;
  std::uint64_t sector;
  int reads;               // O_DIRECT reads of the sector through the loop device
  int error;               // of the last read
  std::uint64_t attempts;  // counted for the sector's range, or 0 when not listed
};
void PrintTo(const SectorCase& c, std::ostream* os) { *os << c.name; }

class LoopOverFaultDisc : public testing::TestWithParam<SectorCase> {};

TEST_P(LoopOverFaultDisc, DirectReadsOfDeviceFailOnlyTheBadSector) {
  const SectorCase& c = GetParam();
  TempDir source;
  WritePattern(source / "disc.iso", 0, 32 * Sector);
  FaultDisc disc(source.path(), DiscFaults);
  LoopDevice loop(disc / "disc.iso");
  ASSERT_TRUE(loop.directIo()) << "the loop driver reads its FUSE backing file through the cache";

  ReadResult read;
  for (int i = 0; i < c.reads; ++i) read = ReadOnce(loop.device(), c.sector * Sector, Sector);

  EXPECT_EQ(read.error, c.error) << std::strerror(read.error);
  if (c.error == 0) {
    EXPECT_EQ(read.data, PatternBytes(c.sector * Sector, Sector));
  }
  if (c.attempts > 0) {
    EXPECT_EQ(disc.attempts("/disc.iso", c.sector * Sector, (c.sector + 1) * Sector).attempts,
              c.attempts);
  }
  // Neighbours were never read: each read of the device reached only its own sector.
  if (c.sector != 5) {
    EXPECT_EQ(disc.attempts("/disc.iso", 5 * Sector, 6 * Sector).attempts, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Sectors, LoopOverFaultDisc,
                         testing::Values(SectorCase{"GoodSectorBeforeBadOne", 4, 1, 0, 0},
                                         SectorCase{"BadSectorFailsWithEio", 5, 1, EIO, 1},
                                         SectorCase{"BadSectorFailsEveryRetry", 5, 3, EIO, 3},
                                         SectorCase{"GoodSectorAfterBadOne", 6, 1, 0, 0},
                                         SectorCase{"FlakySectorFailsFirstRead", 9, 1, EIO, 1},
                                         SectorCase{"FlakySectorReadsOnThirdTry", 9, 3, 0, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

// Like a drive, the device takes only whole 2048-byte sectors unbuffered.
TEST(LoopDevice, RefusesDirectReadsSmallerThanASector) {
  TempDir source;
  WritePattern(source / "disc.iso", 0, 8 * Sector);
  FaultDisc disc(source.path());
  LoopDevice loop(disc / "disc.iso");

  EXPECT_EQ(ReadOnce(loop.device(), 0, 512).error, EINVAL);
  EXPECT_EQ(ReadOnce(loop.device(), 512, Sector).error, EINVAL);
  EXPECT_EQ(ReadOnce(loop.device(), 0, Sector).error, 0);
}

TEST(LoopDevice, RefusesImageOfPartSectors) {
  TempDir source;
  WritePattern(source / "odd.iso", 0, Sector + 512);
  EXPECT_THAT(
      [&] { LoopDevice loop(source / "odd.iso"); },
      testing::ThrowsMessage<std::runtime_error>(testing::HasSubstr("is not a multiple of 2048")));
}

TEST(LoopDevice, DetachesWithFixtureEvenWhenTestThrows) {
  TempDir source;
  WritePattern(source / "disc.iso", 0, 8 * Sector);
  std::filesystem::path device;
  try {
    LoopDevice loop(source / "disc.iso");
    device = loop.device();
    ASSERT_EQ(testsupport::LoopBackingFile(device), source / "disc.iso");
    throw FailingTest();
  } catch (const FailingTest&) {
  }
  EXPECT_EQ(testsupport::LoopBackingFile(device), "");
}

}  // namespace
}  // namespace faultfs_test
