// What a disk panel shows: N/A for no drive, the figures of a known drive,
// red values when the free space does not cover the source's size.

#include <QLabel>

#include <gtest/gtest.h>

#include "FakeDrives.h"
#include "wizard/DiskInfo.h"
#include "wizard/uDiskInfoFrame.h"

namespace {

class DiskInfo : public ::testing::Test {
 protected:
  DiskInfo() {
    table.AddDisc("/media/disc", "BACKUP", 4'700'000'000);
    table.AddDisk("/", 1'500'000, 200'000'000'000);
    table.drives["/dev/sr1"] = FakeDrive{};  // an optical drive without a disc
    UpdateDrives(table);
  }
  FakeDriveTable table;
};

TEST_F(DiskInfo, NoDriveShowsNotAvailableEverywhere) {
  TDiskInfo info(table);
  for (const char* drive : {"", "relative", "/not/a/drive"}) {
    info.SetDrive(drive);
    EXPECT_EQ(info.DiskLabelText(), "N/A") << drive;
    EXPECT_EQ(info.DriveTypeText(), "N/A");
    EXPECT_EQ(info.FileSystemText(), "N/A");
    EXPECT_EQ(info.DiskSizeText(), "N/A");
    EXPECT_EQ(info.FreeSpaceText(), "N/A");
    EXPECT_EQ(info.TotalSpace(), 0);
  }
}

TEST_F(DiskInfo, ADiscShowsItsFigures) {
  TDiskInfo info(table);
  info.SetDrive("/media/disc");
  EXPECT_EQ(info.DiskLabelText(), "/media/disc [BACKUP]");
  EXPECT_EQ(info.DriveTypeText(), "CD-ROM");
  EXPECT_EQ(info.FileSystemText(), "iso9660");
  EXPECT_EQ(info.DiskSizeText(), FormatSize(4'700'000'000));
  EXPECT_EQ(info.FreeSpaceText(), FormatSize(0));
  EXPECT_EQ(info.TotalSpace(), 4'700'000'000);
}

TEST_F(DiskInfo, FreeSpaceIsMeasuredAgainstTheCompareSize) {
  TDiskInfo info(table);
  info.SetDrive("/");
  EXPECT_EQ(info.DiskLabelText(), "/");
  EXPECT_EQ(info.DriveTypeText(), "Hard drive");
  EXPECT_TRUE(info.FreeIsEnough());
  info.SetCompareSize(1'500'000);
  EXPECT_TRUE(info.FreeIsEnough()) << "exactly as much room is enough";
  info.SetCompareSize(1'500'001);
  EXPECT_FALSE(info.FreeIsEnough());
  info.SetDrive("/media/disc");  // no free bytes at all
  info.SetCompareSize(0);
  EXPECT_TRUE(info.FreeIsEnough());
}

TEST_F(DiskInfo, ADriveThatWentAwayShowsNotAvailable) {
  TDiskInfo info(table);
  info.SetDrive("/media/disc");
  table.drives.erase("/media/disc");
  UpdateDrives(table);
  info.SetDrive("/media/disc");
  EXPECT_EQ(info.DriveTypeText(), "N/A");
  EXPECT_EQ(info.TotalSpace(), 0);
}

TEST(DiskInfoLayout, RightColumnStartsMidwayButNeverOverTheLeftValues) {
  // At the page's width the captions end at 366 (values 8 further on).
  EXPECT_EQ(RightCaptionEdge(87, 103, 604, 60, 64), 366);
  // A narrow panel: the left values keep their room.
  EXPECT_EQ(RightCaptionEdge(87, 103, 300, 64, 60), 87 + 103 + 8 + 64);
}

TEST_F(DiskInfo, PanelTurnsRedAndShowsDiscTextsAsPlainText) {
  table.AddDisc("/media/<b>x</b>", "<i>LABEL</i>");
  UpdateDrives(table);
  TDiskInfoFrame frame(nullptr, table);
  frame.resize(584, frame.sizeHint().height());
  frame.SetDrive("/media/<b>x</b>");
  EXPECT_EQ(frame.lblDiskLabel->textFormat(), Qt::PlainText);
  EXPECT_EQ(frame.lblDiskLabel->accessibleName(), "/media/<b>x</b> [<i>LABEL</i>]");
  const QColor black = frame.lblFreeSpace->palette().color(QPalette::WindowText);
  frame.SetCompareSize(1);  // a disc has no free bytes
  EXPECT_EQ(frame.lblFreeSpace->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(frame.lblDiskLabel->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  frame.SetCompareSize(0);
  EXPECT_EQ(frame.lblFreeSpace->palette().color(QPalette::WindowText), black);
  EXPECT_LT(frame.lblDiskLabel->geometry().right(), frame.lblDiskSizeCaption->geometry().left())
      << "the columns must not overlap";
}

}  // namespace
