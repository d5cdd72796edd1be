// The copier through the system's opener on a mounted disc. There is no
// iso9660 driver here: a mount table names a loop device of the damaged disc
// as the iso9660 mount of a ramfs folder holding the same tree (ramfs refuses
// O_DIRECT as iso9660 does); the reads of the device are real.

#include <gtest/gtest.h>

#include <fstream>

#include "CopyRun.h"
#include "DamagedDisc.h"
#include "FaultDisc.h"
#include "LoopDevice.h"
#include "TempDir.h"
#include "platform/UnbufferedFile.h"

namespace isocopy {
namespace {

using testsupport::FaultDisc;
using testsupport::LoopDevice;
using testsupport::TempDir;

// Read sector by sector and in runs: the same events and bytes either way.
class SystemOpenerOnAMountedDisc : public testing::TestWithParam<ReadShape> {};

TEST_P(SystemOpenerOnAMountedDisc, ReadsTheFileFromItsDeviceAndFailsOnlyTheBadSectors) {
  const ReadShape shape = GetParam();
  ScopedRunSectors runs(shape == ReadShape::Sectors ? 1 : 32);
  TempDir work;
  WriteTree(work / "tree");
  std::filesystem::create_directory(work / "source");
  MakeImage(work / "tree", work / "source" / "disc.iso");
  const auto base = MovieOffsetInImage(work / "source" / "disc.iso");
  testsupport::FaultDiscOptions options;
  options.trace = true;
  FaultDisc disc(work / "source", MovieFaults("/disc.iso", base), options);
  LoopDevice loop(disc / "disc.iso");
  ASSERT_TRUE(loop.directIo()) << "the loop driver reads its backing file through the cache";
  RamFolder mounted;
  std::filesystem::copy(work / "tree", mounted.path(), std::filesystem::copy_options::recursive);
  const auto opener = platform::MakeSystemUnbufferedOpener(
      WriteMountTable(work / "mountinfo", mounted.path(), loop.device()));
  ScopedRestoratorIo io(opener.get());

  const auto run = SaveWithEvents(mounted / kMovie, work / "saved" / "movie.mpg");

  EXPECT_EQ(run.result, fscNormal);
  EXPECT_EQ(run.path, platform::ReadPath::Device) << platform::ReadPathText(run.path);
  EXPECT_EQ(run.failedAttempts, ExpectedFailedAttempts());
  EXPECT_EQ(run.saved.size(), SavedMovie().size());
  EXPECT_TRUE(run.saved == SavedMovie()) << "not the movie with zeros in its bad sectors";
  const auto requests = ExpectOnlyBadSectorsFailed(disc, "/disc.iso", base, shape);
  RecordProperty("faultfs_requests", static_cast<int>(requests));
}

INSTANTIATE_TEST_SUITE_P(Reads, SystemOpenerOnAMountedDisc,
                         testing::Values(ReadShape::Sectors, ReadShape::Runs),
                         [](const auto& info) {
                           return std::string(info.param == ReadShape::Sectors ? "BySector"
                                                                               : "InRuns");
                         });

// The same folder, no longer a disc's mount in the table: the device is not
// consulted and the file is read through the cache.
TEST(SystemOpenerOnAPlainFolder, FolderThatIsNoDiscMountIsReadThroughTheCache) {
  TempDir work;
  RamFolder folder;
  WriteTree(folder.path());
  std::ofstream(work / "mountinfo") << "22 1 254:1 / / rw,relatime - ext4 /dev/vda1 rw\n";
  const auto opener = platform::MakeSystemUnbufferedOpener(work / "mountinfo");
  ScopedRestoratorIo io(opener.get());

  const auto run = SaveWithEvents(folder / kMovie, work / "movie.mpg");

  EXPECT_EQ(run.result, fscNormal);
  EXPECT_EQ(run.path, platform::ReadPath::Cache) << platform::ReadPathText(run.path);
  EXPECT_TRUE(run.failedAttempts.empty());
  EXPECT_TRUE(run.saved == TreeFile(kMovie));
}

}  // namespace
}  // namespace isocopy
