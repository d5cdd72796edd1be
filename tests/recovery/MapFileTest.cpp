// velmora-cli copy --map on a damaged disc: the mapfile names exactly the
// unreadable sectors, GNU ddrescue accepts it and fills just those holes
// from a healthy copy, and a second --map run against a disc that reads
// again completes the target and the map.

#include <unistd.h>

#include <gtest/gtest.h>

#include "FaultDisc.h"
#include "FuseDisc.h"
#include "RunProcess.h"
#include "TempDir.h"
#include "engine/DamageMap.h"

namespace recovery_test {
namespace {

using testsupport::FaultDisc;
using testsupport::RunProcess;
using testsupport::TempDir;

TDamageMap ReadMap(const std::filesystem::path& file) {
  std::string error;
  const auto map = ParseDdrescueMap(testsupport::ReadFileBytes(file), error);
  EXPECT_TRUE(map) << error;
  return map.value_or(TDamageMap{});
}

TEST(CliCopyMap, DdrescueFillsExactlyTheHolesFromAHealthyCopy) {
  ASSERT_EQ(::access("/usr/bin/ddrescue", X_OK), 0)
      << "GNU ddrescue missing: install gddrescue (scripts/deps.sh)";
  TempDir source, out;
  testsupport::IsolatedHome home;
  const std::int64_t size = 40 * Sector + 500;
  const std::string bytes = SectorPattern(static_cast<std::size_t>(size));
  testsupport::WriteFileBytes(source / "f.bin", bytes);
  FaultDisc disc(source.path(), "bad /f.bin 5s 6s\nbad /f.bin 20s 23s\nbad /f.bin 40s 41s\n");
  const auto target = out / "f.bin";
  const auto map = out / "f.map";

  const auto r = RunProcess(
      {Cli(), "copy", (disc / "f.bin").string(), target.string(), "--map", map.string()});

  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "saved (5 unreadable sectors filled with zeros)\n");
  EXPECT_TRUE(
      SameBytes(testsupport::ReadFileBytes(target), WithZeroSectors(bytes, {5, 20, 21, 22, 40})));
  const auto written = ReadMap(map);
  EXPECT_EQ(written.Size, size);
  EXPECT_EQ(written.Unreadable,
            (std::vector<TByteRange>{
                {5 * Sector, Sector}, {20 * Sector, 3 * Sector}, {40 * Sector, 500}}));

  // -r1: ddrescue retries the "-" areas once; everything else it skips.
  const auto dd = RunProcess(
      {"ddrescue", "-b2048", "-r1", (source / "f.bin").string(), target.string(), map.string()});
  ASSERT_EQ(dd.exitCode, 0) << dd.out << dd.err;
  EXPECT_TRUE(SameBytes(testsupport::ReadFileBytes(target), bytes));
  const auto filled = ReadMap(map);
  EXPECT_EQ(filled.Size, size);
  EXPECT_TRUE(filled.Unreadable.empty());
}

TEST(CliCopyMap, SecondRunReadsOnlyTheHolesAndCompletesTheFile) {
  TempDir source, out;
  testsupport::IsolatedHome home;
  const std::int64_t size = 30 * Sector + 700;
  const std::string bytes = SectorPattern(static_cast<std::size_t>(size));
  testsupport::WriteFileBytes(source / "f.bin", bytes);
  // Both fail three times, all of the first copy's attempts, then read.
  FaultDisc disc(source.path(), "bad /f.bin 5s 6s 3\nbad /f.bin 20s 21s 3\nbad /f.bin 10s 11s 0\n");
  const auto target = out / "f.bin";
  const auto map = out / "f.map";
  const std::vector<std::string> copy = {Cli(),           "copy",  (disc / "f.bin").string(),
                                         target.string(), "--map", map.string()};

  const auto first = RunProcess(copy);
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(first.out, "saved (2 unreadable sectors filled with zeros)\n");
  EXPECT_EQ(ReadMap(map).Unreadable,
            (std::vector<TByteRange>{{5 * Sector, Sector}, {20 * Sector, Sector}}));
  const auto goodBefore = disc.attempts("/f.bin", 10 * Sector, 11 * Sector).attempts;

  const auto second = RunProcess(copy);

  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(second.out, "saved\n");
  EXPECT_TRUE(SameBytes(testsupport::ReadFileBytes(target), bytes));
  const auto completed = ReadMap(map);
  EXPECT_EQ(completed.Size, size);
  EXPECT_TRUE(completed.Unreadable.empty());
  EXPECT_EQ(disc.attempts("/f.bin", 5 * Sector, 6 * Sector).attempts, 4u);
  EXPECT_EQ(disc.attempts("/f.bin", 20 * Sector, 21 * Sector).attempts, 4u);
  EXPECT_EQ(disc.attempts("/f.bin", 10 * Sector, 11 * Sector).attempts, goodBefore)
      << "a rescued sector is not read again";
}

}  // namespace
}  // namespace recovery_test
