// The copier on a damaged disc: the copier's table (CopyCases.h), the same
// rows as in-process, this time as real EIO from velmora-faultfs read through
// the system's unbuffered opener. The file system counts every physical read request, so
// the three attempts per bad sector are measured, not assumed.

#include <gtest/gtest.h>

#include <algorithm>

#include "CopyCases.h"
#include "FaultDisc.h"
#include "FuseDisc.h"
#include "ParamName.h"
#include "TempDir.h"

namespace recovery_test {
namespace {

using testsupport::CopyCase;
using testsupport::CopyReadMode;
using testsupport::FaultDisc;
using testsupport::FaultDiscOptions;
using testsupport::TempDir;

constexpr const char* FileName = "/file.bin";

std::string BadLine(std::int64_t first, std::int64_t end, int times = -1) {
  std::string line = "bad " + std::string(FileName) + ' ' + std::to_string(first) + "s " +
                     std::to_string(end) + 's';
  if (times >= 0) line += ' ' + std::to_string(times);
  return line + '\n';
}

// The copier's table, less the rows whose damage the file system cannot make.
std::vector<CopyCase> FuseCases() {
  std::vector<CopyCase> cases;
  for (const auto& c : testsupport::CopyCases())
    if (!c.failSeeks) cases.push_back(c);
  return cases;
}

// Every sector of the file is listed, so that the file system counts the
// requests on each: a bad one fails `failures` times (always when -1), a
// good one is only counted.
std::string FaultLines(const CopyCase& row) {
  std::string lines;
  const auto sectors = static_cast<std::int64_t>((row.size + Sector - 1) / Sector);
  for (std::int64_t s = 0; s < sectors; ++s) {
    const auto bad = std::find_if(row.bad.begin(), row.bad.end(),
                                  [s](const testsupport::BadSector& b) { return b.sector == s; });
    lines += BadLine(s, s + 1, bad == row.bad.end() ? 0 : bad->failures);
  }
  return lines;
}

class FuseCopyTable : public testing::TestWithParam<std::tuple<CopyCase, CopyReadMode>> {};

TEST_P(FuseCopyTable, EventsBytesReadPathAndPhysicalAttempts) {
  const CopyCase& row = std::get<0>(GetParam());
  const bool byRun = std::get<1>(GetParam()).runSectors > 1;
  ScopedRunSectors runs(std::get<1>(GetParam()).runSectors);
  TempDir source, out;
  const std::string bytes = SectorPattern(row.size);
  testsupport::WriteFileBytes(source / "file.bin", bytes);
  FaultDiscOptions options;
  options.trace = true;
  FaultDisc disc(source.path(), FaultLines(row), options);
  testsupport::Recorder log;
  static_cast<testsupport::CopyAnswer&>(log) = row.answer;
  log.source = disc / "file.bin";
  platform::ReadPath path = platform::ReadPath::Cache;

  const auto result =
      BadFileRestorator::SaveFile(log.source, out / "copy" / "file.bin", log.Proc(), &path);

  EXPECT_EQ(result, row.result);
  EXPECT_EQ(log.events, byRun && !row.runEvents.empty() ? row.runEvents : row.events);
  EXPECT_TRUE(SameBytes(testsupport::ReadFileBytes(out / "copy" / "file.bin"),
                        WithZeroSectors(bytes.substr(0, row.targetSize), row.zeroSectors)));
  EXPECT_EQ(path, platform::ReadPath::Direct) << platform::ReadPathText(path);
  const auto& attempts = byRun ? row.runAttempts : row.attempts;
  ASSERT_EQ(attempts.size(), (row.size + Sector - 1) / Sector);
  std::size_t reads = 0;
  for (std::size_t s = 0; s < attempts.size(); ++s) {
    const auto sector = static_cast<std::int64_t>(s);
    const auto counted = disc.attempts(FileName, static_cast<std::uint64_t>(sector * Sector),
                                       static_cast<std::uint64_t>((sector + 1) * Sector));
    EXPECT_EQ(counted.attempts, static_cast<std::uint64_t>(attempts[s])) << "sector " << s;
    EXPECT_EQ(counted.failures,
              static_cast<std::uint64_t>(testsupport::FailuresOf(row, sector, attempts[s])))
        << "sector " << s;
    reads += static_cast<std::size_t>(attempts[s]);
  }
  std::vector<testsupport::ReadRequest> requests;
  for (const auto& r : disc.requests())
    if (r.path == FileName) requests.push_back(r);
  for (const auto& r : requests) {
    EXPECT_EQ(r.offset % Sector, 0u) << r.offset;
    EXPECT_TRUE(r.size % Sector == 0 && r.size <= 65536) << r.size << " at " << r.offset;
  }
  if (!byRun) {
    // One whole, aligned sector per request: one per block read and one per
    // failed attempt; a zero run reads nothing.
    for (const auto& r : requests) EXPECT_EQ(r.size, 2048u) << "at " << r.offset;
    EXPECT_EQ(requests.size(), reads);
  } else if (!requests.empty()) {
    // In runs the whole file is the first request; when it fails, each good
    // sector is read once more alone, and a bad one still three times in all.
    EXPECT_EQ(requests.front().size, (row.size + 2047) / 2048 * 2048);
    if (row.bad.empty()) {
      EXPECT_EQ(requests.size(), 1u);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(DamagedDisc, FuseCopyTable,
                         testing::Combine(testing::ValuesIn(FuseCases()),
                                          testing::ValuesIn(testsupport::CopyReadModes())),
                         testsupport::RowName());

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
                         testsupport::RowName());

}  // namespace
}  // namespace recovery_test
