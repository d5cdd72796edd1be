// velmora-cli copy on the damaged disc, as a file of the fault file system,
// through a loop device over its image and on the image file itself, and
// copy --device refusing what it cannot read.

#include <gtest/gtest.h>

#include <optional>

#include "../iso/DiscImages.h"
#include "CopyRun.h"
#include "DamagedDisc.h"
#include "FaultDisc.h"
#include "LoopDevice.h"
#include "TempDir.h"
#include "platform/Iso9660Extents.h"
#include "platform/UnbufferedFile.h"

namespace isocopy {
namespace {

using testsupport::FaultDisc;
using testsupport::LoopDevice;
using testsupport::TempDir;

std::string ReadPathLine(platform::ReadPath path) {
  return std::string("read path\t") + platform::ReadPathText(path);
}

enum class Source {
  FileOnTheFaultFs,  // copy MOUNT/Movies/...: the tree served with the movie's sectors bad
  LoopDevice,        // copy --device /dev/loopN /Movies/...: the image served with them bad
  ImageFile,         // copy --device MOUNT/disc.iso /Movies/...
};

struct DamagedCopyRow {
  const char* name;
  Source source;
  platform::ReadPath path;
};
void PrintTo(const DamagedCopyRow& row, std::ostream* os) { *os << row.name; }

class CliCopyOfTheDamagedDisc : public testing::TestWithParam<DamagedCopyRow> {};

TEST_P(CliCopyOfTheDamagedDisc, ZerosExactlyTheBadSectorsAndSaysTheReadPathOnce) {
  const auto& row = GetParam();
  TempDir work;
  WriteTree(work / "tree");
  testsupport::FaultDiscOptions options;
  options.trace = true;
  std::optional<FaultDisc> disc;
  std::optional<LoopDevice> loop;  // detached before the disc unmounts
  std::string faultPath = std::string("/") + kMovie;
  std::int64_t base = 0;
  std::vector<std::string> args;
  std::string sourceName;
  if (row.source == Source::FileOnTheFaultFs) {
    disc.emplace(work / "tree", MovieFaults(faultPath, 0), options);
    sourceName = (*disc / kMovie).string();
    args = {sourceName};
  } else {
    std::filesystem::create_directory(work / "source");
    MakeImage(work / "tree", work / "source" / "disc.iso");
    faultPath = "/disc.iso";
    base = MovieOffsetInImage(work / "source" / "disc.iso");
    disc.emplace(work / "source", MovieFaults(faultPath, base), options);
    std::filesystem::path device = *disc / "disc.iso";
    if (row.source == Source::LoopDevice) {
      loop.emplace(device);
      ASSERT_TRUE(loop->directIo()) << "the loop driver reads its backing file through the cache";
      device = loop->device();
    }
    sourceName = device.string() + ":/" + kMovie;
    args = {"--device", device.string(), std::string("/") + kMovie};
  }

  const auto run = RunCliCopy(args, work / "saved" / "movie.mpg");

  EXPECT_EQ(run.exitCode, 0) << run.err;
  ASSERT_FALSE(run.lines.empty());
  EXPECT_EQ(run.lines.front(), "fseStartFile\t" + sourceName + "\t" +
                                   std::to_string(TreeFile(kMovie).size()) + "\tfscNormal");
  EXPECT_EQ(run.lines.back(), "saved (3 unreadable sectors filled with zeros)");
  EXPECT_EQ(run.readPathLines, std::vector<std::string>{ReadPathLine(row.path)});
  EXPECT_EQ(run.failedAttempts, ExpectedFailedAttempts());
  EXPECT_EQ(run.saved.size(), SavedMovie().size());
  EXPECT_TRUE(run.saved == SavedMovie()) << "not the movie with zeros in its bad sectors";
  ExpectOnlyBadSectorsFailed(*disc, faultPath, base, ReadShape::Runs);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, CliCopyOfTheDamagedDisc,
    testing::Values(DamagedCopyRow{"FileOnTheFaultFsReadsDirect", Source::FileOnTheFaultFs,
                                   platform::ReadPath::Direct},
                    DamagedCopyRow{"LoopDeviceReadsAtTheExtents", Source::LoopDevice,
                                   platform::ReadPath::Device},
                    DamagedCopyRow{"ImageFileReadsAtTheExtents", Source::ImageFile,
                                   platform::ReadPath::Device}),
    [](const auto& info) { return std::string(info.param.name); });

// ramfs refuses O_DIRECT (EINVAL at open), as the kernel's iso9660 driver
// does; without a disc's mount behind it the file is read through the cache.
TEST(CliCopy, FileWhereDirectReadsAreRefusedIsReadThroughTheCache) {
  TempDir work;
  RamFolder folder;
  WriteTree(folder.path());

  const auto run = RunCliCopy({(folder / kMovie).string()}, work / "movie.mpg");

  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.readPathLines, std::vector<std::string>{ReadPathLine(platform::ReadPath::Cache)});
  EXPECT_EQ(run.lines.back(), "saved");
  EXPECT_TRUE(run.failedAttempts.empty());
  EXPECT_TRUE(run.saved == TreeFile(kMovie));
}

// A file recorded in two extents, in the directory's order rather than the
// disc's (the iso tests' "sections" image), with the first sector of its
// second extent bad: the extents join, and only that sector is zeros.
TEST(CliCopy, MultiExtentFileOnADamagedLoopDevice) {
  const auto& discs = isotest::TheDiscs();
  ASSERT_TRUE(discs.error.empty()) << discs.error;
  TempDir work;
  std::filesystem::create_directory(work / "source");
  std::filesystem::copy_file(discs["sections"].image, work / "source" / "sections.iso");
  std::string why;
  const auto extents = platform::FindIsoFileExtents(work / "source" / "sections.iso", "/a.bin",
                                                    platform::IsoNaming{}, why);
  ASSERT_TRUE(extents) << why;
  ASSERT_EQ(extents->extents.size(), 2u);
  ASSERT_EQ(extents->extents[0].length, 6144);
  const auto bad = extents->extents[1].offset;
  testsupport::FaultDiscOptions options;
  options.trace = true;
  FaultDisc disc(work / "source",
                 "bad /sections.iso " + std::to_string(bad) + " " + std::to_string(bad + 2048),
                 options);
  LoopDevice loop(disc / "sections.iso");

  const auto run = RunCliCopy({"--device", loop.device().string(), "/a.bin"}, work / "a.bin");

  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.readPathLines, std::vector<std::string>{ReadPathLine(platform::ReadPath::Device)});
  EXPECT_EQ(run.failedAttempts, (std::map<std::int64_t, int>{{6144, 3}}));
  auto expected = isotest::TreeFile("B.BIN") + isotest::TreeFile("A.BIN");
  expected.replace(6144, 2048, 2048, '\0');
  EXPECT_TRUE(run.saved == expected) << "not B's bytes, then A's with its first sector zeros";
  const auto counted = disc.attempts("/sections.iso", static_cast<std::uint64_t>(bad),
                                     static_cast<std::uint64_t>(bad + 2048));
  EXPECT_EQ(counted.attempts, 3u);
  EXPECT_EQ(counted.failures, 3u);
}

struct RefusedRow {
  const char* name;
  const char* device;  // in the work folder; "$IMAGE" for the disc's image
  const char* pathOnDisc;
  const char* reason;  // in the message on standard error
};
void PrintTo(const RefusedRow& row, std::ostream* os) { *os << row.name; }

class CliCopyDeviceRefuses : public testing::TestWithParam<RefusedRow> {};

TEST_P(CliCopyDeviceRefuses, NotSavedWithAReason) {
  const auto& row = GetParam();
  TempDir work;
  WriteTree(work / "tree");
  MakeImage(work / "tree", work / "disc.iso");
  testsupport::WriteFileBytes(work / "notes.txt", TreeFile("ReadMe.txt") + TreeFile(kMovie));
  const auto device = std::string(row.device) == "$IMAGE" ? work / "disc.iso" : work / row.device;

  const auto run = RunCliCopy({"--device", device.string(), row.pathOnDisc}, work / "out.bin");

  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "not saved\n") << "no events, no read path";
  EXPECT_NE(
      run.err.find("velmora-cli: cannot read " + device.string() + ":" + row.pathOnDisc + ": "),
      std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find(row.reason), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(work / "out.bin")) << "no target for a source not opened";
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliCopyDeviceRefuses,
    testing::Values(
        RefusedRow{"PathNotOnTheDisc", "$IMAGE", "/Movies/Holiday 2010.mpg",
                   "not in the disc's directory"},
        RefusedRow{"FolderOfTheDisc", "$IMAGE", "/Movies", "is a directory on the disc"},
        RefusedRow{"NotAnIsoImage", "notes.txt", "/ReadMe.txt", "no ISO 9660 volume descriptor"},
        RefusedRow{"MissingImage", "none.iso", "/ReadMe.txt", "No such file or directory"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CliCopy, DeviceWithoutItsArgumentsIsAUsageError) {
  TempDir work;
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--device"}, {"--device", "disc.iso"}, {"--device", "a", "--device", "b", "/x"}}) {
    const auto run = RunCliCopy(args, work / "out.bin");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("velmora-cli copy --device DEVICE PATH-ON-DISC TARGET"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(work / "out.bin"));
  }
}

}  // namespace
}  // namespace isocopy
