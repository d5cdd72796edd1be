// The copier on a damaged disc: the damage patterns of the in-process copier
// table, this time as real EIO from velmora-faultfs read through the system's
// unbuffered opener. The file system counts every physical read request, so
// the three attempts per bad sector are measured, not assumed.

#include <gtest/gtest.h>

#include <algorithm>

#include "FaultDisc.h"
#include "FuseDisc.h"
#include "TempDir.h"

namespace recovery_test {
namespace {

using testsupport::FaultDisc;
using testsupport::FaultDiscOptions;
using testsupport::TempDir;

constexpr const char* FileName = "/file.bin";

// One listed range of /file.bin, in sectors [first, end), and what the copy
// must leave counted on it.
struct RangeCount {
  std::int64_t first, end;
  std::uint64_t attempts, failures;
};

struct FuseCopyRow {
  const char* name;
  std::size_t size;
  std::string faults;  // fault lines for /file.bin
  std::vector<std::string> events;
  std::vector<std::int64_t> zeroSectors;
  std::vector<RangeCount> counts;
  // The events when read in runs, where they differ: a sector that fails
  // only in the run and reads at once alone shows no failed attempt.
  std::vector<std::string> runEvents = {};
};
void PrintTo(const FuseCopyRow& row, std::ostream* os) { *os << row.name; }

std::string BadLine(std::int64_t first, std::int64_t end, int times = -1) {
  std::string line = "bad " + std::string(FileName) + ' ' + std::to_string(first) + "s " +
                     std::to_string(end) + 's';
  if (times >= 0) line += ' ' + std::to_string(times);
  return line + '\n';
}

const std::vector<FuseCopyRow>& Rows() {
  static const std::vector<FuseCopyRow> rows = {
      {"EmptyFile", 0, "", Start(0) + End(0), {}, {}},
      {"CleanFileReadsInThreeBlocks",
       5000,
       // count-only ranges: each good sector is read exactly once
       BadLine(0, 1, 0) + BadLine(1, 2, 0) + BadLine(2, 3, 0),
       Start(5000) + Good(2048) + Good(2048) + Good(904) + End(5000),
       {},
       {{0, 1, 1, 0}, {1, 2, 1, 0}, {2, 3, 1, 0}}},
      {"BadSecondBlockGetsThreeAttemptsAndAZeroRun",
       5000,
       BadLine(1, 2) + BadLine(0, 1, 0) + BadLine(2, 3, 0),
       Start(5000) + Good(2048) + Bad(2048) + Good(904) + End(5000),
       {1},
       {{1, 2, 3, 3}, {0, 1, 1, 0}, {2, 3, 1, 0}}},
      {"BadLastBlockGivesA904ByteZeroRun",
       5000,
       BadLine(2, 3) + BadLine(1, 2, 0),
       Start(5000) + Good(2048) + Good(2048) + Bad(904) + End(5000),
       {2},
       {{2, 3, 3, 3}, {1, 2, 1, 0}}},
      {"FlakySectorIsReadOnTheThirdAttempt",
       5000,
       BadLine(1, 2, 2),
       Start(5000) + Good(2048) + Flaky(2, 2048) + Good(904) + End(5000),
       {},
       {{1, 2, 3, 2}}},
      {"FlakySectorIsReadOnTheSecondAttempt",
       5000,
       BadLine(1, 2, 1),
       Start(5000) + Good(2048) + Flaky(1, 2048) + Good(904) + End(5000),
       {},
       {{1, 2, 2, 1}},
       Start(5000) + Good(2048) + Good(2048) + Good(904) + End(5000)},
      {"SeveralBadSectorsIncludingAdjacentOnes",
       10 * 2048 + 100,
       BadLine(1, 2) + BadLine(4, 5) + BadLine(5, 6) + BadLine(6, 7) + BadLine(8, 9) +
           BadLine(3, 4, 0) + BadLine(7, 8, 0) + BadLine(10, 11, 0),
       Start(20580) + Good(2048) + Bad(2048) + Good(2048) + Good(2048) + Bad(2048) + Bad(2048) +
           Bad(2048) + Good(2048) + Bad(2048) + Good(2048) + Good(100) + End(20580),
       {1, 4, 5, 6, 8},
       {{1, 2, 3, 3},
        {4, 5, 3, 3},
        {5, 6, 3, 3},
        {6, 7, 3, 3},
        {8, 9, 3, 3},
        {3, 4, 1, 0},
        {7, 8, 1, 0},
        {10, 11, 1, 0}}},
      {"ExactMultipleOfASectorWithBadLastSector",
       3 * 2048,
       BadLine(2, 3),
       Start(6144) + Good(2048) + Good(2048) + Bad(2048) + End(6144),
       {2},
       {{2, 3, 3, 3}}},
      {"ExactMultipleOfASectorClean",
       3 * 2048,
       "",
       Start(6144) + Good(2048) + Good(2048) + Good(2048) + End(6144),
       {},
       {}},
  };
  return rows;
}

// Each row read sector by sector and in runs (the whole file is one run).
class FuseCopyTable : public testing::TestWithParam<std::tuple<FuseCopyRow, int>> {};

TEST_P(FuseCopyTable, EventsBytesReadPathAndPhysicalAttempts) {
  const FuseCopyRow& row = std::get<0>(GetParam());
  const bool byRun = std::get<1>(GetParam()) > 1;
  ScopedRunSectors runs(std::get<1>(GetParam()));
  TempDir source, out;
  const std::string bytes = SectorPattern(row.size);
  testsupport::WriteFileBytes(source / "file.bin", bytes);
  FaultDiscOptions options;
  options.trace = true;
  FaultDisc disc(source.path(), row.faults, options);
  EventLog log;
  log.source = disc / "file.bin";
  platform::ReadPath path = platform::ReadPath::Cache;

  const auto result =
      BadFileRestorator::SaveFile(log.source, out / "copy" / "file.bin", log.Proc(), &path);

  EXPECT_EQ(result, fscNormal);
  EXPECT_EQ(log.events, byRun && !row.runEvents.empty() ? row.runEvents : row.events);
  EXPECT_TRUE(SameBytes(testsupport::ReadFileBytes(out / "copy" / "file.bin"),
                        WithZeroSectors(bytes, row.zeroSectors)));
  EXPECT_EQ(path, platform::ReadPath::Direct) << platform::ReadPathText(path);
  // In runs the whole file is one request; when it fails, each good sector
  // is read once more alone, and a bad one still three times in all.
  const bool runFails = std::any_of(row.counts.begin(), row.counts.end(),
                                    [](const RangeCount& c) { return c.failures > 0; });
  for (const auto& c : row.counts) {
    const auto counted = disc.attempts(FileName, static_cast<std::uint64_t>(c.first * Sector),
                                       static_cast<std::uint64_t>(c.end * Sector));
    const bool goodInFailedRun = byRun && runFails && c.failures == 0;
    EXPECT_EQ(counted.attempts, goodInFailedRun ? 2u : c.attempts)
        << "sectors " << c.first << ".." << c.end;
    EXPECT_EQ(counted.failures, c.failures) << "sectors " << c.first << ".." << c.end;
  }
  if (byRun) {
    std::size_t requests = 0;
    for (const auto& r : disc.requests()) {
      if (r.path != FileName) continue;
      EXPECT_EQ(r.offset % 2048, 0u) << r.offset;
      EXPECT_TRUE(r.size % 2048 == 0 && r.size <= 65536) << r.size << " at " << r.offset;
      if (requests++ == 0 && row.size > 0) {  // the first: the whole file
        EXPECT_EQ(r.size, (row.size + 2047) / 2048 * 2048);
      }
    }
    if (!runFails && row.size > 0) {
      EXPECT_EQ(requests, 1u);
    }
    return;
  }
  // Every request the file system saw was one whole, aligned sector: one per
  // block read and one per failed attempt; a zero run reads nothing.
  const auto failed = static_cast<std::size_t>(
      std::count(row.events.begin(), row.events.end(), "progress - 0 normal"));
  const auto blocks = (row.size + 2047) / 2048;
  std::size_t requests = 0;
  for (const auto& r : disc.requests()) {
    if (r.path != FileName) continue;
    ++requests;
    EXPECT_EQ(r.offset % 2048, 0u) << r.offset;
    EXPECT_EQ(r.size, 2048u) << "at " << r.offset;
  }
  EXPECT_EQ(requests, blocks - row.zeroSectors.size() + failed);
}

INSTANTIATE_TEST_SUITE_P(DamagedDisc, FuseCopyTable,
                         testing::Combine(testing::ValuesIn(Rows()), testing::Values(1, 32)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) == 1 ? "_Sectors" : "_Runs");
                         });

// The requests a larger file costs the drive when read in runs: on a healthy
// file every request but the last is a whole 64 KiB run; on a damaged one
// each always-bad sector is read exactly three times and no good sector more
// than twice, whatever the damage's place in a run.
struct ShapeRow {
  const char* name;
  std::vector<std::int64_t> bad;  // always-bad sectors
};
void PrintTo(const ShapeRow& row, std::ostream* os) { *os << row.name; }

class FuseRequestShapes : public testing::TestWithParam<ShapeRow> {};

TEST_P(FuseRequestShapes, RunsOnHealthyStretchesThreeReadsPerBadSector) {
  const ShapeRow& row = GetParam();
  TempDir source, out;
  constexpr std::int64_t sectors = 16 * 32 + 1;  // 1 MiB and a partial sector
  const std::int64_t size = (sectors - 1) * Sector + 1000;
  const std::string bytes = SectorPattern(static_cast<std::size_t>(size));
  testsupport::WriteFileBytes(source / "file.bin", bytes);
  std::string faults;
  for (const auto s : row.bad) faults += BadLine(s, s + 1);
  FaultDiscOptions options;
  options.trace = true;
  FaultDisc disc(source.path(), faults, options);

  const auto result = BadFileRestorator::SaveFile(disc / "file.bin", out / "file.bin", nullptr);

  EXPECT_EQ(result, fscNormal);
  EXPECT_TRUE(
      SameBytes(testsupport::ReadFileBytes(out / "file.bin"), WithZeroSectors(bytes, row.bad)));
  std::vector<int> reads(static_cast<std::size_t>(sectors));
  std::vector<testsupport::ReadRequest> requests;
  for (const auto& r : disc.requests())
    if (r.path == FileName) requests.push_back(r);
  for (const auto& r : requests) {
    EXPECT_TRUE(r.offset % Sector == 0 && r.size % Sector == 0 && r.size <= 65536)
        << r.offset << "+" << r.size;
    for (auto at = r.offset; at < r.offset + r.size; at += Sector)
      if (at / Sector < reads.size()) ++reads[at / Sector];
  }
  for (std::int64_t s = 0; s < sectors; ++s) {
    const bool bad = std::find(row.bad.begin(), row.bad.end(), s) != row.bad.end();
    if (bad) {
      EXPECT_EQ(reads[static_cast<std::size_t>(s)], 3) << "bad sector " << s;
    } else {
      EXPECT_LE(reads[static_cast<std::size_t>(s)], 2) << "good sector " << s;
      EXPECT_GE(reads[static_cast<std::size_t>(s)], 1) << "good sector " << s;
    }
  }
  if (row.bad.empty()) {
    ASSERT_EQ(requests.size(), 17u);
    for (std::size_t i = 0; i + 1 < requests.size(); ++i) EXPECT_EQ(requests[i].size, 65536u);
  }
}

INSTANTIATE_TEST_SUITE_P(DamagedDisc, FuseRequestShapes,
                         testing::Values(ShapeRow{"Healthy", {}},
                                         ShapeRow{"RunStartMiddleEndAndAClusterAcrossRuns",
                                                  {0, 45, 95, 127, 128, 129, 200, 201, 300, 512}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace recovery_test
