// The wizard's rules without a window: the bottom buttons on each page, the
// drive list, the target's drive and warning, the web addresses.

#include <gtest/gtest.h>

#include <filesystem>

#include "TempDir.h"
#include "support/ProductSite.h"
#include "wizard/DriveList.h"
#include "wizard/TargetInfo.h"
#include "wizard/WebLinks.h"
#include "wizard/WizardButtons.h"

namespace {

namespace fs = std::filesystem;

struct ButtonsCase {
  const char* name;
  TWizardState state;
  TButtonState expected;
};

TWizardState State(int page, const char* selected, TDriveType targetType = dtFixed,
                   const char* target = "/", const char* source = "/media/disc",
                   int root = NodeStateUnchecked) {
  TWizardState s;
  s.PageIndex = page;
  s.SelectedDrive = selected;
  s.TargetType = targetType;
  s.TargetDrive = target;
  s.SourceDrive = source;
  s.RootNodeState = root;
  return s;
}

TButtonState Buttons(bool prev, bool cancel, bool next, const char* caption, TButtonGlyph glyph) {
  TButtonState b;
  b.PrevVisible = prev;
  b.CancelVisible = cancel;
  b.NextEnabled = next;
  b.NextCaption = caption;
  b.NextGlyph = glyph;
  return b;
}

class ButtonsTable : public ::testing::TestWithParam<ButtonsCase> {};

TEST_P(ButtonsTable, BackExitAndNextFollowThePage) {
  const ButtonsCase& c = GetParam();
  const TButtonState b = ComputeButtons(c.state);
  EXPECT_EQ(b.PrevVisible, c.expected.PrevVisible);
  EXPECT_EQ(b.CancelVisible, c.expected.CancelVisible);
  EXPECT_EQ(b.NextEnabled, c.expected.NextEnabled);
  EXPECT_EQ(b.NextCaption, c.expected.NextCaption);
  EXPECT_EQ(b.NextGlyph, c.expected.NextGlyph);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ButtonsTable,
    ::testing::Values(ButtonsCase{"drive_page_with_a_drive", State(wpDrive, "/media/disc"),
                                  Buttons(false, true, true, "Next  ", bgRightArrow)},
                      ButtonsCase{"drive_page_without_a_drive", State(wpDrive, ""),
                                  Buttons(false, true, false, "Next  ", bgRightArrow)},
                      ButtonsCase{"target_page_with_another_known_drive",
                                  State(wpTarget, "/media/disc"),
                                  Buttons(true, true, true, "Next  ", bgRightArrow)},
                      ButtonsCase{"target_page_without_a_drive", State(wpTarget, ""),
                                  Buttons(true, true, false, "Next  ", bgRightArrow)},
                      ButtonsCase{"target_page_unknown_target",
                                  State(wpTarget, "/media/disc", dtUnknown, ""),
                                  Buttons(true, true, false, "Next  ", bgRightArrow)},
                      ButtonsCase{"target_page_target_on_the_source",
                                  State(wpTarget, "/media/disc", dtCDROM, "/media/disc"),
                                  Buttons(true, true, false, "Next  ", bgRightArrow)},
                      ButtonsCase{"file_page_nothing_ticked", State(wpFiles, "/media/disc"),
                                  Buttons(true, true, false, "Save  ", bgFloppy)},
                      ButtonsCase{"file_page_root_ticked",
                                  State(wpFiles, "/media/disc", dtFixed, "/", "/media/disc", 2),
                                  Buttons(true, true, true, "Save  ", bgFloppy)},
                      ButtonsCase{"file_page_root_partly_ticked",
                                  State(wpFiles, "/media/disc", dtFixed, "/", "/media/disc", 3),
                                  Buttons(true, true, true, "Save  ", bgFloppy)},
                      ButtonsCase{"log_page_with_a_drive", State(wpLog, "/media/disc"),
                                  Buttons(true, false, true, "Exit  ", bgCheck)},
                      ButtonsCase{"log_page_without_a_drive", State(wpLog, ""),
                                  Buttons(true, false, true, "Exit  ", bgCheck)}),
    [](const auto& info) { return std::string(info.param.name); });

TVolumeInformationRecord Record(const char* designator, TDriveType type, const char* fs,
                                const char* label = "") {
  TVolumeInformationRecord r;
  r.Letter = designator;
  r.RootPathName = designator;
  r.DriveType = type;
  r.FileSystemName = fs;
  r.VolumeName = label;
  return r;
}

TEST(DriveList, ListsOpticalDrivesWithAReadableDiscInTableOrder) {
  const std::vector<TVolumeInformationRecord> drives = {
      Record("/", dtFixed, "ext4"),
      Record("/dev/sr1", dtCDROM, ""),  // empty drive
      Record("/media/a/BACKUP", dtCDROM, "iso9660", "BACKUP"),
      Record("/media/a/GONE", dtUnknown, "iso9660", "GONE"),  // taken away
      Record("/media/a/PHOTOS", dtCDROM, "udf", "PHOTOS"),
      Record("/media/a/STICK", dtFloppy, "vfat", "STICK"),
  };
  const auto listed = ListedDrives(drives);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].Designator, "/media/a/BACKUP");
  EXPECT_EQ(listed[0].Caption, "/media/a/BACKUP : BACKUP [iso9660]");
  EXPECT_EQ(listed[1].Designator, "/media/a/PHOTOS");
}

platform::MountEntry Mount(const fs::path& at) {
  platform::MountEntry e;
  e.mountPoint = at;
  e.fsType = "ext4";
  return e;
}

TEST(DriveList, AnEmptyMountPointFolderIsNoDisc) {
  testsupport::TempDir dir;
  fs::create_directory(dir / "disc");  // left behind by an unmounted disc
  const std::string disc = (dir / "disc").string();
  EXPECT_FALSE(IsDriveMounted(disc, {Mount("/")}));
  EXPECT_THROW(CheckDriveAvailable(disc, {Mount("/")}), NoDriveException);
  EXPECT_TRUE(IsDriveMounted(disc, {Mount("/"), Mount(dir / "disc")}));
  EXPECT_NO_THROW(CheckDriveAvailable(disc, {Mount("/"), Mount(dir / "disc")}));
  try {
    CheckDriveAvailable(disc, {});
  } catch (const NoDriveException& e) {
    EXPECT_EQ(std::string(e.what()), "Drive " + disc + " is not available.");
  }
}

class TargetDrive : public ::testing::Test {
 protected:
  TargetDrive() {
    fs::create_directories(dir / "disk" / "data");
    fs::create_directories(dir / "disc");
    fs::create_directory_symlink(dir / "disk" / "data", dir / "link");
    table = {Mount("/"), Mount(root / "disk"), Mount(root / "disc")};
  }
  testsupport::TempDir dir;
  fs::path root = fs::canonical(dir.path());
  std::vector<platform::MountEntry> table;
};

TEST_F(TargetDrive, IsTheMountOfTheNearestExistingFolder) {
  EXPECT_EQ(TargetDrivePart((root / "disk" / "data").string(), table), (root / "disk").string());
  EXPECT_EQ(TargetDrivePart((root / "disk" / "new" / "deeper").string(), table),
            (root / "disk").string());
  EXPECT_EQ(TargetDrivePart((root / "disc" / "restore").string(), table), (root / "disc").string());
  EXPECT_EQ(TargetDrivePart((root / "link" / "new").string(), table), (root / "disk").string())
      << "a link is followed to the drive it leads to";
  EXPECT_EQ(TargetDrivePart((root / "elsewhere").string(), table), "/");
}

TEST_F(TargetDrive, RelativeOrEmptyTextNamesNoDrive) {
  EXPECT_EQ(TargetDrivePart("", table), "");
  EXPECT_EQ(TargetDrivePart("out", table), "");
  EXPECT_EQ(TargetDrivePart("./disk", table), "");
}

struct WarningCase {
  const char* name;
  TDriveType type;
  const char* target;
  bool freeIsEnough;
  const char* expected;
};

class TargetWarnings : public ::testing::TestWithParam<WarningCase> {};

TEST_P(TargetWarnings, OneReasonAtMost) {
  const WarningCase& c = GetParam();
  EXPECT_EQ(TargetWarning(c.type, c.target, "/media/disc", c.freeIsEnough), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, TargetWarnings,
    ::testing::Values(
        WarningCase{"none", dtFixed, "/", true, ""},
        WarningCase{"unknown_drive_first", dtUnknown, "/media/disc", false,
                    "Warning:\n  -  target directory is incorrect\n"},
        WarningCase{"same_drive_before_free_space", dtCDROM, "/media/disc", false,
                    "Warning:\n  -  the target drive cannot be the same as the source drive\n"},
        WarningCase{"not_enough_free_space", dtFixed, "/", false,
                    "Warning:\n  -  it is possible the target drive does not have enough free "
                    "space to store all the files which are going to be recovered\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WebLinks, HowItWorksStepPerPage) {
  const std::string page = std::string(support::ProductSite) + "/how_it_works_cd.html";
  EXPECT_EQ(HowItWorksUrl(0), page + "#step6");
  EXPECT_EQ(HowItWorksUrl(1), page + "#step8");
  EXPECT_EQ(HowItWorksUrl(2), page + "#step10");
  EXPECT_EQ(HowItWorksUrl(3), page + "#step12");
  EXPECT_EQ(ClosingPageUrl(), std::string(support::ProductSite) + "/like.html");
  EXPECT_EQ(ProductPageUrl(), std::string(support::ProductSite) + "/velmorafree.html");
}

TEST(WebLinks, EveryContextHasItsTopic) {
  for (int context : {201, 202, 203, 204, 900})
    EXPECT_EQ(HelpTopicPath(context), "qrc:/help/" + std::to_string(context) + ".html");
  EXPECT_EQ(HelpTopicPath(0), HelpContentsPath);
  EXPECT_EQ(HelpTopicPath(205), HelpContentsPath);
}

}  // namespace
