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

struct JolietCase {
  const char* name;
  std::u16string recorded;  // UCS-2 big-endian on the disc
  std::optional<std::string> shown;
};

void PrintTo(const JolietCase& row, std::ostream* os) { *os << row.name; }

class JolietNameTest : public ::testing::TestWithParam<JolietCase> {};

TEST_P(JolietNameTest, ShowsTheDriversNameOrRefuses) {
  EXPECT_EQ(platform::JolietName(Ucs2(GetParam().recorded)), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Names, JolietNameTest,
    ::testing::Values(JolietCase{"drops_version", u"ReadMe.Txt;1", "ReadMe.Txt"},
                      JolietCase{"drops_trailing_dots", u"Notes...", "Notes"},
                      JolietCase{"encodes_utf8", u"Caf\u00e9 \u20ac", "Caf\xc3\xa9 \xe2\x82\xac"},
                      // The driver shows characters beyond the basic plane differently under
                      // its default table and under utf8.
                      JolietCase{"refuses_surrogate_pair", u"\U0001F600.txt", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JolietName, RefusesAnOddLength) {
  EXPECT_EQ(platform::JolietName(std::string("\0A\0", 3)), std::nullopt);
}

// Mount options and the naming they give; nullopt (with a reason) for
// options under which this reader cannot match the driver's names.
struct OptionsCase {
  const char* name;
  const char* options;
  std::optional<IsoNaming> naming;
};

void PrintTo(const OptionsCase& row, std::ostream* os) { *os << row.name; }

class IsoNamingFromMountOptionsTest : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(IsoNamingFromMountOptionsTest, ReadsTheOptions) {
  std::string why;
  const auto naming = platform::IsoNamingFromMountOptions(GetParam().options, why);
  const auto& expected = GetParam().naming;
  ASSERT_EQ(naming.has_value(), expected.has_value()) << why;
  if (!expected) {
    EXPECT_FALSE(why.empty());
    return;
  }
  EXPECT_EQ(naming->rockRidge, expected->rockRidge);
  EXPECT_EQ(naming->joliet, expected->joliet);
  EXPECT_EQ(naming->mapNormal, expected->mapNormal);
  EXPECT_EQ(naming->hideHidden, expected->hideHidden);
  EXPECT_EQ(naming->showAssociated, expected->showAssociated);
  EXPECT_EQ(naming->check, expected->check);
  EXPECT_EQ(naming->iocharsetUtf8, expected->iocharsetUtf8);
}

INSTANTIATE_TEST_SUITE_P(
    Options, IsoNamingFromMountOptionsTest,
    ::testing::Values(OptionsCase{"no_joliet_strict_check",
                                  "ro,nojoliet,check=s,map=n,blocksize=2048",
                                  [] {
                                    IsoNaming n;
                                    n.joliet = false;
                                    n.check = 's';
                                    return n;
                                  }()},
                      OptionsCase{"no_rock_map_off_hide", "ro,norock,check=r,map=o,hide",
                                  [] {
                                    IsoNaming n;
                                    n.rockRidge = false;
                                    n.mapNormal = false;
                                    n.hideHidden = true;
                                    n.check = 'r';
                                    return n;
                                  }()},
                      OptionsCase{"show_associated", "ro,showassoc",
                                  [] {
                                    IsoNaming n;
                                    n.showAssociated = true;
                                    return n;
                                  }()},
                      OptionsCase{"latin1_iocharset", "ro,norock,iocharset=iso8859-1",
                                  [] {
                                    IsoNaming n;
                                    n.rockRidge = false;
                                    n.iocharsetUtf8 = false;
                                    return n;
                                  }()},
                      OptionsCase{"session_refused", "ro,session=1", std::nullopt},
                      OptionsCase{"superblock_sector_refused", "ro,sbsector=1234", std::nullopt},
                      OptionsCase{"acorn_names_refused", "ro,map=a", std::nullopt},
                      OptionsCase{"cut_sizes_refused", "ro,cruft", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

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

// Files the reader must refuse, and the word its reason has.
struct RefusedCase {
  const char* name;
  const char* disc;
  const char* path;
  const char* why;
};

void PrintTo(const RefusedCase& row, std::ostream* os) { *os << row.name; }

class RefusedFile : public SectionsImage, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedFile, SaysWhy) {
  std::string why;
  const auto& image = isotest::TheDiscs()[GetParam().disc].image;
  EXPECT_EQ(platform::FindIsoFileExtents(image, GetParam().path, IsoNaming{}, why), std::nullopt);
  EXPECT_NE(why.find(GetParam().why), std::string::npos) << why;
}

INSTANTIATE_TEST_SUITE_P(
    Files, RefusedFile,
    ::testing::Values(RefusedCase{"interleaved", "sections", "/i.bin", "interleaved"},
                      RefusedCase{"folder", "rr-joliet", "/Docs", "directory"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
