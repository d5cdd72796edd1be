// An outside witness: GNU ddrescue, reading the same damaged file through the
// same file system, must end up with the copier's bytes, and its map must
// name exactly the bad sectors as unreadable.

#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <sstream>

#include "FaultDisc.h"
#include "FuseDisc.h"
#include "RunProcess.h"
#include "TempDir.h"

namespace recovery_test {
namespace {

using testsupport::FaultDisc;
using testsupport::TempDir;

struct Block {
  std::int64_t pos, size;
  bool operator==(const Block&) const = default;
};
void PrintTo(const Block& b, std::ostream* os) { *os << '[' << b.pos << ", +" << b.size << ')'; }

// The blocks of a ddrescue map with the given status character; fails the
// test when any area was left untried, untrimmed or unscraped.
std::vector<Block> MapBlocks(const std::filesystem::path& map, char wanted) {
  std::ifstream in(map);
  std::string line;
  bool statusLineSeen = false;
  std::vector<Block> blocks;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (!statusLineSeen) {  // current_pos current_status [current_pass]
      statusLineSeen = true;
      continue;
    }
    std::istringstream fields(line);
    std::string pos, size;
    char status = 0;
    fields >> pos >> size >> status;
    EXPECT_TRUE(status == '+' || status == '-') << "area not finished: " << line;
    if (status == wanted)
      blocks.push_back({std::stoll(pos, nullptr, 0), std::stoll(size, nullptr, 0)});
  }
  EXPECT_TRUE(statusLineSeen) << "no ddrescue map at " << map;
  return blocks;
}

// 3 MiB and a 1000-byte last sector; scattered bad sectors, a run of 16 and
// the partial last sector, which ddrescue leaves unwritten at the end.
constexpr std::int64_t FileSize = 1536 * Sector + 1000;
// The run of 16 is listed sector by sector, so that each is counted alone.
std::string Faults() {
  std::string faults = "bad /image.bin 5s 6s\n";
  for (int s = 700; s < 716; ++s)
    faults += "bad /image.bin " + std::to_string(s) + "s " + std::to_string(s + 1) + "s\n";
  return faults +
         "bad /image.bin 1200s 1201s\n"
         "bad /image.bin 1201s 1202s 1\n"  // flaky: both read it on a retry
         "bad /image.bin 1536s 1537s\n";
}

TEST(DdrescueOracle, CopierOutputEqualsDdrescueOutputPaddedToFullLength) {
  ASSERT_EQ(::access("/usr/bin/ddrescue", X_OK), 0)
      << "GNU ddrescue missing: install gddrescue (scripts/deps.sh)";
  TempDir source, work;
  const std::string bytes = SectorPattern(FileSize);
  testsupport::WriteFileBytes(source / "image.bin", bytes);
  FaultDisc disc(source.path(), Faults());
  const auto input = disc / "image.bin";

  ASSERT_EQ(BadFileRestorator::SaveFile(input, work / "copier.bin", nullptr), fscNormal);
  EXPECT_EQ(disc.attempts("/image.bin", 5 * Sector, 6 * Sector).attempts, 3u);
  for (std::int64_t s = 700; s < 716; ++s)
    EXPECT_EQ(disc.attempts("/image.bin", static_cast<std::uint64_t>(s * Sector),
                            static_cast<std::uint64_t>((s + 1) * Sector))
                  .attempts,
              3u)
        << "sector " << s;
  EXPECT_EQ(disc.attempts("/image.bin", 1200 * Sector, 1201 * Sector).attempts, 3u);
  EXPECT_EQ(disc.attempts("/image.bin", 1201 * Sector, 1202 * Sector).attempts, 2u);
  EXPECT_EQ(disc.attempts("/image.bin", 1536 * Sector, 1537 * Sector).attempts, 3u);

  // -b2048: the disc's sector, the smallest unit ddrescue trims and scrapes
  // to; -d: O_DIRECT, each retry reaches the drive; -r3: three retry passes
  // over what is still bad, so a flaky sector gets its chance as with the
  // copier. Trimming and scraping stay on so that every readable sector is read.
  const auto out = work / "ddrescue.bin";
  const auto map = work / "ddrescue.map";
  const auto r = testsupport::RunProcess(
      {"ddrescue", "-b2048", "-d", "-r3", input.string(), out.string(), map.string()});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;

  EXPECT_EQ(MapBlocks(map, '-'), (std::vector<Block>{{5 * Sector, Sector},
                                                     {700 * Sector, 16 * Sector},
                                                     {1200 * Sector, Sector},
                                                     {1536 * Sector, 1000}}));
  const auto ddrescueSize = static_cast<std::int64_t>(std::filesystem::file_size(out));
  EXPECT_EQ(ddrescueSize, 1536 * Sector) << "ddrescue does not write the unreadable tail";
  std::filesystem::resize_file(out, static_cast<std::uintmax_t>(FileSize));

  const std::string copier = testsupport::ReadFileBytes(work / "copier.bin");
  EXPECT_TRUE(SameBytes(copier, testsupport::ReadFileBytes(out))) << "copier vs ddrescue";
  std::vector<std::int64_t> bad = {5, 1200, 1536};
  for (std::int64_t s = 700; s < 716; ++s) bad.push_back(s);
  EXPECT_TRUE(SameBytes(copier, WithZeroSectors(bytes, bad))) << "copier vs source with zeros";
  // For the report: what ddrescue's passes cost on the bad ranges.
  std::cout << "attempts after copier + ddrescue: sector 5: "
            << disc.attempts("/image.bin", 5 * Sector, 6 * Sector).attempts
            << ", sector 700: " << disc.attempts("/image.bin", 700 * Sector, 701 * Sector).attempts
            << ", flaky 1201: "
            << disc.attempts("/image.bin", 1201 * Sector, 1202 * Sector).attempts
            << ", last: " << disc.attempts("/image.bin", 1536 * Sector, 1537 * Sector).attempts
            << '\n';
}

}  // namespace
}  // namespace recovery_test
