// velmora-cli copy, run as a user would run it, on a damaged disc.

#include <gtest/gtest.h>

#include "FaultDisc.h"
#include "FuseDisc.h"
#include "RunProcess.h"
#include "TempDir.h"
#include "platform/UnbufferedFile.h"

namespace recovery_test {
namespace {

using testsupport::FaultDisc;
using testsupport::RunProcess;
using testsupport::TempDir;

std::string Cli() { return (testsupport::BinDir() / "velmora-cli").string(); }

struct CliRow {
  const char* name;
  std::int64_t badSector;
  std::vector<std::string> events;  // "$S" for the source path; tab-separated fields
};
void PrintTo(const CliRow& row, std::ostream* os) { *os << row.name; }

const std::string Read = "fseProgress\t$S\t2048\tfscNormal";
const std::string Failed = "fseProgress\t\t0\tfscNormal";

class CliCopyOnDamagedDisc : public testing::TestWithParam<CliRow> {};

TEST_P(CliCopyOnDamagedDisc, PrintsEventsReadPathOnceAndSaved) {
  const CliRow& row = GetParam();
  TempDir source, out;
  testsupport::IsolatedHome home;
  const std::string bytes = SectorPattern(5000);
  testsupport::WriteFileBytes(source / "f.bin", bytes);
  const auto range = std::to_string(row.badSector) + "s " + std::to_string(row.badSector + 1) + 's';
  FaultDisc disc(source.path(), "bad /f.bin " + range + "\n");
  const auto input = disc / "f.bin";
  const auto target = out / "f.bin";

  const auto r = RunProcess({Cli(), "copy", input.string(), target.string(), "--events"});

  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::string expected;
  for (auto line : row.events) {
    for (std::size_t p; (p = line.find("$S")) != std::string::npos;)
      line.replace(p, 2, input.string());
    expected += line + '\n';
  }
  expected +=
      std::string("read path\t") + platform::ReadPathText(platform::ReadPath::Direct) + "\nsaved\n";
  EXPECT_EQ(r.out, expected);
  EXPECT_TRUE(
      SameBytes(testsupport::ReadFileBytes(target), WithZeroSectors(bytes, {row.badSector})));
  const auto counted = disc.attempts("/f.bin", static_cast<std::uint64_t>(row.badSector * Sector),
                                     static_cast<std::uint64_t>((row.badSector + 1) * Sector));
  EXPECT_EQ(counted.attempts, 3u);
  EXPECT_EQ(counted.failures, 3u);
}

INSTANTIATE_TEST_SUITE_P(
    DamagedDisc, CliCopyOnDamagedDisc,
    testing::Values(CliRow{"BadSecondBlock",
                           1,
                           {"fseStartFile\t$S\t5000\tfscNormal", Read, Failed, Failed, Failed, Read,
                            "fseProgress\t$S\t904\tfscNormal", "fseEndFile\t$S\t5000\tfscNormal"}},
                    CliRow{"BadLastBlock",
                           2,
                           {"fseStartFile\t$S\t5000\tfscNormal", Read, Read, Failed, Failed, Failed,
                            "fseProgress\t$S\t904\tfscNormal", "fseEndFile\t$S\t5000\tfscNormal"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A file the disc cannot open: nothing was saved, and the target is the
// empty file created before the source was opened.
TEST(CliCopyOnDamagedDisc, FileThatCannotBeOpenedIsNotSaved) {
  for (const char* error : {"EIO", "EACCES"}) {
    SCOPED_TRACE(error);
    TempDir source, out;
    testsupport::IsolatedHome home;
    testsupport::WriteFileBytes(source / "f.bin", SectorPattern(5000));
    FaultDisc disc(source.path(), std::string("unreadable /f.bin ") + error + "\n");
    const auto target = out / "f.bin";

    const auto r =
        RunProcess({Cli(), "copy", (disc / "f.bin").string(), target.string(), "--events"});

    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.out, "not saved\n");
    ASSERT_TRUE(std::filesystem::is_regular_file(target));
    EXPECT_EQ(std::filesystem::file_size(target), 0u);
  }
}

}  // namespace
}  // namespace recovery_test
