// The damage map in GNU ddrescue's mapfile format, and the copier's retry
// of the unreadable stretches into an existing target.

#include <gtest/gtest.h>

#include "FaultInjector.h"
#include "TempDir.h"
#include "engine/DamageMap.h"

namespace {

using testsupport::FaultInjector;
using testsupport::TempDir;

TEST(DamageMap, FormatsBlocksCoveringTheWholeFile) {
  const std::string text = FormatDdrescueMap({10000, {{2048, 2048}, {8192, 1808}}});
  EXPECT_NE(text.find("\n0x00002710     +               1\n"), std::string::npos) << text;
  EXPECT_TRUE(
      text.ends_with("0x00000000  0x00000800  +\n"
                     "0x00000800  0x00000800  -\n"
                     "0x00001000  0x00001000  +\n"
                     "0x00002000  0x00000710  -\n"))
      << text;
  EXPECT_TRUE(FormatDdrescueMap({0, {}}).ends_with("status\n")) << "an empty file has no blocks";
}

struct ParseRow {
  const char* name;
  std::string text;
  bool valid;
  std::int64_t size;
  std::vector<TByteRange> unreadable;
  std::string error;  // part of the message when not valid
};
void PrintTo(const ParseRow& row, std::ostream* os) { *os << row.name; }

class DamageMapParse : public testing::TestWithParam<ParseRow> {};

TEST_P(DamageMapParse, ReadsWhatDdrescueWrites) {
  const auto& row = GetParam();
  std::string error;
  const auto map = ParseDdrescueMap(row.text, error);
  ASSERT_EQ(map.has_value(), row.valid) << error;
  if (!row.valid) {
    EXPECT_NE(error.find(row.error), std::string::npos) << error;
    EXPECT_LT(error.size(), 200u) << "a bad line is quoted short";
    return;
  }
  EXPECT_EQ(map->Size, row.size);
  EXPECT_EQ(map->Unreadable, row.unreadable);
}

const std::string Header =
    "# Mapfile. Created by GNU ddrescue version 1.27\n"
    "# current_pos  current_status  current_pass\n"
    "0x00000000     ?               1\n"
    "#      pos        size  status\n";

INSTANTIATE_TEST_SUITE_P(
    Table, DamageMapParse,
    testing::Values(
        ParseRow{"OwnMapRoundTrip",
                 FormatDdrescueMap({10000, {{2048, 2048}, {8192, 1808}}}),
                 true,
                 10000,
                 {{2048, 2048}, {8192, 1808}},
                 ""},
        ParseRow{"UnfinishedAreasCountAsUnreadableAndJoin",
                 Header + "0x0 0x800 +\n0x800 0x800 *\n0x1000 0x800 /\n0x1800 0x800 ?\n"
                          "0x2000 2048 -\n10240 2048 +\n",
                 true,
                 12288,
                 {{2048, 8192}},
                 ""},
        ParseRow{"EmptyMap", Header, true, 0, {}, ""},
        ParseRow{"GapBetweenBlocks",
                 Header + "0x0 0x800 +\n0x1000 0x800 -\n",
                 false,
                 0,
                 {},
                 "gap or overlap"},
        ParseRow{"UnknownStatus", Header + "0x0 0x800 X\n", false, 0, {}, "no mapfile block"},
        ParseRow{"NegativeSize", Header + "0x0 -5 +\n", false, 0, {}, "no mapfile block"},
        ParseRow{"NoStatusLine", "# only a comment\n", false, 0, {}, "no mapfile status line"},
        // ddrescuelog -A writes a comment after each block.
        ParseRow{"CommentsAfterBlocks",
                 Header + "0x0 0x800 +  # 0 B\n0x800 0x800 -\t#  2048 B\n",
                 true,
                 4096,
                 {{2048, 2048}},
                 ""},
        ParseRow{"WindowsLineEnds",
                 "0x0 + 1\r\n0x0 0x800 +\r\n0x800 0x10 -\r\n",
                 true,
                 0x810,
                 {{2048, 16}},
                 ""},
        ParseRow{"JunkAfterBlock",
                 Header + "0x0 0x800 + junk\n",
                 false,
                 0,
                 {},
                 "line 5 is no mapfile block: \"0x0 0x800 + junk\""},
        ParseRow{"JunkGluedToStatus", Header + "0x0 0x800 +x\n", false, 0, {}, "no mapfile block"},
        ParseRow{"JunkGluedToSize", Header + "0x0 0x800k +\n", false, 0, {}, "no mapfile block"},
        ParseRow{"BlockEndsPastTheLargestPosition",
                 Header + "0x0 0x7FFFFFFFFFFFFFFF +\n0x7FFFFFFFFFFFFFFF 0x10 -\n",
                 false,
                 0,
                 {},
                 "line 6: the block ends past the largest file size"},
        ParseRow{"HexSizePast64Bits",
                 Header + "0x0 0x10000000000000000 +\n",
                 false,
                 0,
                 {},
                 "past the largest file size"},
        ParseRow{"DecimalPositionPast64Bits",
                 Header + "99999999999999999999 1 +\n",
                 false,
                 0,
                 {},
                 "past the largest file size"},
        ParseRow{"SignedNumber", Header + "+0 0x800 +\n", false, 0, {}, "no mapfile block"},
        ParseRow{"HugeBadLineQuotedByItsStart",
                 Header + std::string(1 << 20, 'x') + "\n",
                 false,
                 0,
                 {},
                 "block: \"" + std::string(80, 'x') + "\"..."},
        ParseRow{"ControlCharactersOfABadLineEscaped",
                 Header + "0x0 0x800 \x1b[2J\n",
                 false,
                 0,
                 {},
                 "\"0x0 0x800 \\x1B[2J\""}),
    [](const auto& info) { return std::string(info.param.name); });

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + i % 19);
  return bytes;
}

// A first copy zeros sectors 3 and 7 and part of the last; the retry reads
// each unreadable sector alone three times, fills in sector 3, which has
// come back, and leaves the rest of the target as it was.
TEST(CopierRetry, FillsWhatNowReadsAndListsWhatStillDoesNot) {
  TempDir dir;
  FaultInjector disc;
  const std::string bytes = Pattern(10 * 2048 + 100);
  disc.AddFile("/d/f", bytes, {{3, 3}, {7}, {10}});
  ScopedRestoratorIo io(&disc);
  TFileSaveReport first;
  ASSERT_EQ(BadFileRestorator::SaveFile("/d/f", dir / "t", nullptr, nullptr, &first), fscNormal);
  ASSERT_EQ(first.ZeroRanges,
            (std::vector<TByteRange>{{3 * 2048, 2048}, {7 * 2048, 2048}, {10 * 2048, 100}}));
  EXPECT_EQ(first.UnreadableSectors(), 3);
  const int before3 = disc.Attempts("/d/f", 3), before7 = disc.Attempts("/d/f", 7);
  const int before5 = disc.Attempts("/d/f", 5);

  TFileSaveReport retry;
  EXPECT_EQ(BadFileRestorator::RetryRanges("/d/f", dir / "t", first.ZeroRanges, retry), fscNormal)
      << retry.Error;

  EXPECT_EQ(retry.ZeroRanges, (std::vector<TByteRange>{{7 * 2048, 2048}, {10 * 2048, 100}}));
  EXPECT_EQ(disc.Attempts("/d/f", 3) - before3, 1);
  EXPECT_EQ(disc.Attempts("/d/f", 7) - before7, 3);
  EXPECT_EQ(disc.Attempts("/d/f", 5), before5) << "a good sector is not read again";
  std::string expected = bytes;
  expected.replace(7 * 2048, 2048, 2048, '\0');
  expected.replace(10 * 2048, 100, 100, '\0');
  EXPECT_EQ(testsupport::ReadFileBytes(dir / "t"), expected);
}

TEST(CopierRetry, RefusesATargetOfAnotherSizeOrTheSourceItself) {
  TempDir dir;
  FaultInjector disc;
  disc.AddFile("/d/f", Pattern(5000));
  testsupport::WriteFileBytes(dir / "short", "abc");
  TFileSaveReport report;
  {
    ScopedRestoratorIo io(&disc);
    EXPECT_EQ(BadFileRestorator::RetryRanges("/d/f", dir / "short", {{0, 2048}}, report), fscError);
    EXPECT_NE(report.Error.find("the target has 3 bytes, the source 5000"), std::string::npos)
        << report.Error;
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "short"), "abc");
  }
  testsupport::WriteFileBytes(dir / "real", Pattern(5000));
  EXPECT_EQ(BadFileRestorator::RetryRanges(dir / "real", dir / "real", {{0, 2048}}, report),
            fscError);
  EXPECT_NE(report.Error.find("is the source file itself"), std::string::npos) << report.Error;
}

}  // namespace
