#include <gtest/gtest.h>

#include <map>

#include "TempDir.h"
#include "support/uFunctions.h"
#include "support/uSysPath.h"

namespace {

// A machine whose folders the test chooses; every other folder has no path.
class FakeFolders : public platform::ISpecialFolders {
 public:
  explicit FakeFolders(std::map<std::uint16_t, std::string> paths) : paths_(std::move(paths)) {}
  std::string FolderPath(std::uint16_t csidl) const override {
    const auto it = paths_.find(csidl);
    return it == paths_.end() ? std::string() : it->second;
  }

 private:
  std::map<std::uint16_t, std::string> paths_;
};

constexpr std::uint16_t kLocalAppData = 0x1C, kProfile = 0x28, kPersonal = 0x05,
                        kMyDocuments = 0x0C, kWindows = 0x24;

const FakeFolders& Machine() {
  static const FakeFolders folders({{kLocalAppData, "/home/alice/.local/share"},
                                    {kProfile, "/home/alice"},
                                    {kPersonal, "/home/alice/Documents"},
                                    {kMyDocuments, "/home/alice/Documents"},
                                    {kWindows, "/usr"}});
  return folders;
}

TEST(SysPaths, HoldsTheFiftyFoldersInTheirOrder) {
  const TSysPaths table(Machine());
  ASSERT_EQ(table.Count(), 50);
  EXPECT_EQ(table.Get(0).Name, "ADMINTOOLS");
  EXPECT_EQ(table.Get(28).Name, "LOCAL_APPDATA");
  EXPECT_EQ(table.Get(28).CSIDL, kLocalAppData);
  EXPECT_EQ(table.Get(28).Path, "/home/alice/.local/share");
  EXPECT_EQ(table.Get(49).Name, "WINDOWS");
  EXPECT_EQ(table.Get(0).Path, "");
  EXPECT_THROW(table.Get(50), std::out_of_range);
}

struct PathCase {
  const char* name;
  const char* input;
  const char* expected;
};

// Rows show as their names in test output.
void PrintTo(const PathCase& row, std::ostream* out) { *out << row.name; }

class AnnouncePathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(AnnouncePathTest, ExpandsALeadingToken) {
  const TSysPaths table(Machine());
  EXPECT_EQ(table.AnnouncePath(GetParam().input, '*'), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, AnnouncePathTest,
    ::testing::Values(PathCase{"LowerCaseToken", "*local_appdata*/Velmora Free",
                               "/home/alice/.local/share/Velmora Free"},
                      PathCase{"NoTokenUnchanged", "/data/file.txt", "/data/file.txt"},
                      PathCase{"DelimiterNotFirstGivesEmpty", "/a*b", ""},
                      PathCase{"NoClosingDelimiterGivesEmpty", "*LOCAL_APPDATA", ""},
                      PathCase{"UnknownNameGivesEmpty", "*NOSUCH*/x", ""},
                      PathCase{"TokenAlone", "*WINDOWS*", "/usr"},
                      PathCase{"FolderWithoutPathLeavesTheRest", "*COOKIES*/x", "/x"}),
    [](const auto& row) { return std::string(row.param.name); });

class DenouncePathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(DenouncePathTest, FoldsTheLongestKnownFolder) {
  const TSysPaths table(Machine());
  EXPECT_EQ(table.DenouncePath(GetParam().input, '*'), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, DenouncePathTest,
    ::testing::Values(PathCase{"LongestFolderWins", "/home/alice/.local/share/Velmora Free/Err.log",
                               "*LOCAL_APPDATA*/Velmora Free/Err.log"},
                      PathCase{"BelowNoFolderUnchanged", "/srv/data/x", "/srv/data/x"},
                      PathCase{"EqualFoldersTakeTheEarlierName", "/home/alice/Documents/a.txt",
                               "*MYDOCUMENTS*/a.txt"},
                      PathCase{"CaseIsIgnoredAndTheRestKeepsItsCase", "/HOME/ALICE/Notes.txt",
                               "*PROFILE*/Notes.txt"},
                      PathCase{"MatchIsOnCharactersNotComponents", "/usr2/x", "*WINDOWS*2/x"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(AddTrailingBackslash, AppendsThePathDelimiterOnce) {
  EXPECT_EQ(AddTrailingBackslash(""), "");
  EXPECT_EQ(AddTrailingBackslash("/x"), "/x/");
  EXPECT_EQ(AddTrailingBackslash("/x/"), "/x/");
  EXPECT_EQ(AddTrailingBackslash("C:\\x"), "C:\\x/");
}

// The Linux folders follow HOME, the XDG variables and user-dirs.dirs.
TEST(SystemSpecialFolders, FollowXdgLocations) {
  testsupport::IsolatedHome home;
  const std::string h = home.home().string();
  std::filesystem::create_directories(home.home() / ".config");
  testsupport::WriteFileBytes(home.home() / ".config/user-dirs.dirs",
                              "# written by xdg-user-dirs-update\n"
                              "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
  const TSysPaths table;
  const auto path = [&](const char* token) {
    return table.AnnouncePath(std::string("*") + token + "*", '*');
  };
  EXPECT_EQ(path("LOCAL_APPDATA"), h + "/.local/share");
  EXPECT_EQ(path("APPDATA"), h + "/.config");
  EXPECT_EQ(path("PROFILE"), h);
  EXPECT_EQ(path("PERSONAL"), h + "/Dokumente");
  EXPECT_EQ(path("MYDOCUMENTS"), h + "/Dokumente");
  EXPECT_EQ(path("MYMUSIC"), h + "/Music");
  EXPECT_EQ(path("FONTS"), h + "/.local/share/fonts");
  EXPECT_EQ(path("BITBUCKET"), "");
}

TEST(InitProductDataFolder, IsBelowTheLocalApplicationData) {
  testsupport::IsolatedHome home;
  RebuildSysPaths();
  InitProductDataFolder();
  EXPECT_EQ(ProductDataFolder, (home.home() / ".local/share/Velmora Free").string());
  ProductDataFolder.clear();
  RebuildSysPaths();
}

}  // namespace
