#include <gtest/gtest.h>

#include "DiscImages.h"
#include "platform/Iso9660Extents.h"

namespace {

using platform::IsoNaming;

struct PlainNameCase {
  const char* name;
  const char* recorded;
  bool mapNormal;
  const char* shown;
};

class PlainIsoNameTest : public ::testing::TestWithParam<PlainNameCase> {};

TEST_P(PlainIsoNameTest, ShowsTheDriversName) {
  EXPECT_EQ(platform::PlainIsoName(GetParam().recorded, GetParam().mapNormal), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PlainIsoNameTest,
    ::testing::Values(PlainNameCase{"FoldsCaseAndDropsVersion", "README.TXT;1", true, "readme.txt"},
                      PlainNameCase{"DropsDotBeforeVersion", "README.;1", true, "readme"},
                      PlainNameCase{"KeepsOtherVersionsAsDot", "FILE.TXT;2", true, "file.txt.2"},
                      PlainNameCase{"FolderWithoutVersion", "DOCS", true, "docs"},
                      PlainNameCase{"MapOffKeepsRecordedName", "README.TXT;1", false,
                                    "README.TXT;1"}),
    [](const auto& info) { return std::string(info.param.name); });

std::string Ucs2(const std::u16string& text) {
  std::string out;
  for (const char16_t c : text) {
    out += static_cast<char>(c >> 8);
    out += static_cast<char>(c & 0xFF);
  }
  return out;
}

TEST(JolietName, DropsVersionAndTrailingDotsAndEncodesUtf8) {
  EXPECT_EQ(platform::JolietName(Ucs2(u"ReadMe.Txt;1")), "ReadMe.Txt");
  EXPECT_EQ(platform::JolietName(Ucs2(u"Notes...")), "Notes");
  EXPECT_EQ(platform::JolietName(Ucs2(u"Caf\u00e9 \u20ac")), "Caf\xc3\xa9 \xe2\x82\xac");
}

TEST(JolietName, RefusesWhatTheDriverWouldShowDifferently) {
  EXPECT_EQ(platform::JolietName(Ucs2(u"\U0001F600.txt")), std::nullopt);  // surrogate pair
  EXPECT_EQ(platform::JolietName(std::string("\0A\0", 3)), std::nullopt);  // odd length
}

TEST(IsoNamingFromMountOptions, ReadsTheTablesOptions) {
  std::string why;
  const auto rock =
      platform::IsoNamingFromMountOptions("ro,nojoliet,check=s,map=n,blocksize=2048", why);
  ASSERT_TRUE(rock) << why;
  EXPECT_TRUE(rock->rockRidge);
  EXPECT_FALSE(rock->joliet);
  EXPECT_TRUE(rock->mapNormal);
  EXPECT_EQ(rock->check, 's');
  const auto off = platform::IsoNamingFromMountOptions("ro,norock,check=r,map=o,hide", why);
  ASSERT_TRUE(off) << why;
  EXPECT_FALSE(off->rockRidge);
  EXPECT_FALSE(off->mapNormal);
  EXPECT_TRUE(off->hideHidden);
  EXPECT_EQ(off->check, 'r');
  const auto latin = platform::IsoNamingFromMountOptions("ro,norock,iocharset=iso8859-1", why);
  ASSERT_TRUE(latin) << why;
  EXPECT_FALSE(latin->iocharsetUtf8);
}

TEST(IsoNamingFromMountOptions, RefusesSessionsAcornNamesAndCutSizes) {
  for (const char* options : {"ro,session=1", "ro,sbsector=1234", "ro,map=a", "ro,cruft"}) {
    std::string why;
    EXPECT_EQ(platform::IsoNamingFromMountOptions(options, why), std::nullopt) << options;
    EXPECT_FALSE(why.empty()) << options;
  }
}

class SectionsImage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(isotest::TheDiscs().error.empty()) << isotest::TheDiscs().error;
  }
  const std::filesystem::path& Image() const { return isotest::TheDiscs()["sections"].image; }
};

TEST_F(SectionsImage, MultiExtentFileComesWholeInDirectoryOrder) {
  std::string why;
  IsoNaming naming;
  const auto file = platform::FindIsoFileExtents(Image(), "/a.bin", naming, why);
  ASSERT_TRUE(file) << why;
  ASSERT_EQ(file->extents.size(), 2u);
  EXPECT_EQ(file->size, 6144 + 3000);
  EXPECT_EQ(file->extents[0].length, 6144);
  EXPECT_EQ(file->extents[1].length, 3000);
  // B's sectors come after A's on the disc, yet first in the file.
  EXPECT_GT(file->extents[0].offset, file->extents[1].offset);
  EXPECT_EQ(file->extents[0].offset % 2048, 0);
}

TEST_F(SectionsImage, InterleavedFileIsRefused) {
  std::string why;
  EXPECT_EQ(platform::FindIsoFileExtents(Image(), "/i.bin", IsoNaming{}, why), std::nullopt);
  EXPECT_NE(why.find("interleaved"), std::string::npos) << why;
}

TEST_F(SectionsImage, FolderIsNotAFile) {
  std::string why;
  const auto& image = isotest::TheDiscs()["rr-joliet"].image;
  EXPECT_EQ(platform::FindIsoFileExtents(image, "/Docs", IsoNaming{}, why), std::nullopt);
  EXPECT_NE(why.find("directory"), std::string::npos) << why;
}

}  // namespace
