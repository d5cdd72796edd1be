#include <gtest/gtest.h>

#include "platform/MountTable.h"

namespace {

// A recorded table: the root, a DVD, an image mounted through a loop device,
// a FUSE disc whose subtype names iso9660, a label with a blank, and a second
// mount over /mnt/disc that hides the first.
constexpr const char* kTable =
    "22 1 254:1 / / rw,relatime shared:1 - ext4 /dev/vda1 rw\n"
    "40 22 11:0 / /media/alice/DVD_2009 ro,nosuid,nodev shared:7 - iso9660 /dev/sr0 "
    "ro,nojoliet,check=s,map=n,blocksize=2048,iocharset=utf8\n"
    "41 22 7:3 / /mnt/image ro,relatime - udf /dev/loop3 ro\n"
    "42 22 0:55 / /tmp/fault\\040disc ro,nosuid - fuse.iso9660 velmora-faultfs ro,user_id=0\n"
    "garbage line\n"
    "43 22 0:60 / /mnt/disc rw - tmpfs tmpfs rw\n"
    "44 22 0:61 / /mnt/disc rw - tmpfs second rw\n";

TEST(MountTable, ParsesFieldsAndUnescapesBlanks) {
  const auto table = platform::ParseMountInfo(kTable);
  ASSERT_EQ(table.size(), 6u);
  EXPECT_EQ(table[1].mountPoint, "/media/alice/DVD_2009");
  EXPECT_EQ(table[1].fsType, "iso9660");
  EXPECT_EQ(table[1].source, "/dev/sr0");
  EXPECT_EQ(table[1].major, 11u);
  EXPECT_TRUE(platform::HasMountOption(table[1].superOptions, "nojoliet"));
  EXPECT_FALSE(platform::HasMountOption(table[1].superOptions, "joliet"));
  EXPECT_EQ(platform::MountOptionValue(table[1].superOptions, "map"), "n");
  EXPECT_EQ(platform::MountOptionValue(table[1].superOptions, "session"), std::nullopt);
  EXPECT_EQ(table[3].mountPoint, "/tmp/fault disc");
  EXPECT_EQ(table[3].fsType, "fuse.iso9660");
}

struct HoldingCase {
  const char* name;
  const char* path;
  const char* expectedSource;
};

// Rows show as their names in test output.
void PrintTo(const HoldingCase& row, std::ostream* out) { *out << row.name; }

class MountHoldingTest : public ::testing::TestWithParam<HoldingCase> {};

TEST_P(MountHoldingTest, FindsTheInnermostMount) {
  const auto table = platform::ParseMountInfo(kTable);
  const auto entry = platform::MountHolding(table, GetParam().path);
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->source, GetParam().expectedSource);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, MountHoldingTest,
    ::testing::Values(
        HoldingCase{"FileOnTheDvd", "/media/alice/DVD_2009/VIDEO_TS/a.vob", "/dev/sr0"},
        HoldingCase{"MountPointItself", "/media/alice/DVD_2009", "/dev/sr0"},
        HoldingCase{"SimilarNameIsNotInside", "/media/alice/DVD_20091/x", "/dev/vda1"},
        HoldingCase{"BlankInMountPoint", "/tmp/fault disc/a", "velmora-faultfs"},
        HoldingCase{"LaterMountHidesEarlier", "/mnt/disc/x", "second"},
        HoldingCase{"DotDotIsResolved", "/mnt/image/../disc/y", "second"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
