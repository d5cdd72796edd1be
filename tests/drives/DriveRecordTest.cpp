// How records live on in the drive table across refreshes, the volume query of
// one record, and the caption of a drive in the drive list.

#include <gtest/gtest.h>

#include "SystemFixture.h"
#include "engine/uDiskUtils.h"

namespace {

using drivetest::MountLine;

class DriveRecords : public ::testing::Test {
 protected:
  void SetUp() override {
    Drives.clear();
    system.AddDevice({"vda", "254:0", false, ""});
    system.AddDevice({"sr0", "11:0", true, ""});
    system.AddLabelLink("DVD_2009", "sr0");
  }
  void TearDown() override { Drives.clear(); }

  const TVolumeInformationRecord& Record(const std::string& designator) {
    const auto* rec = FindDrive(designator);
    if (!rec) throw std::runtime_error("no record of " + designator);
    return *rec;
  }

  const std::string root = MountLine("254:0", "/", "ext4", "/dev/vda");
  const std::string dvd = MountLine("11:0", "/media/alice/DVD_2009", "iso9660", "/dev/sr0");
  drivetest::SystemFixture system;
};

TEST_F(DriveRecords, UnpluggedDriveKeepsItsNamesAsUnknown) {
  system.SetMountTable(root + dvd);
  const auto table = system.MakeTable();
  UpdateDrives(*table);
  ASSERT_EQ(Record("/media/alice/DVD_2009").DriveType, dtCDROM);

  system.SetMountTable(root);
  system.RemoveDevice("sr0");
  UpdateDrives(*table);

  const auto& gone = Record("/media/alice/DVD_2009");
  EXPECT_EQ(gone.DriveType, dtUnknown);
  EXPECT_EQ(gone.VolumeName, "DVD_2009");
  EXPECT_EQ(gone.FileSystemName, "iso9660");
  EXPECT_EQ(FindDrive("/dev/sr0"), nullptr);
  EXPECT_EQ(Record("/").DriveType, dtFixed);
  ASSERT_EQ(Drives.size(), 2u);
  EXPECT_LT(Drives[0].Letter, Drives[1].Letter);
}

TEST_F(DriveRecords, EjectedDiscLeavesAnEmptyOpticalDrive) {
  system.SetMountTable(root + dvd);
  const auto table = system.MakeTable();
  UpdateDrives(*table);

  system.SetMountTable(root);
  UpdateDrives(*table);

  EXPECT_EQ(Record("/media/alice/DVD_2009").DriveType, dtUnknown);
  const auto& empty = Record("/dev/sr0");
  EXPECT_EQ(empty.DriveType, dtCDROM);
  EXPECT_EQ(empty.FileSystemName, "");
  EXPECT_EQ(empty.VolumeName, "");

  // The disc comes back: the old record is a drive again.
  system.SetMountTable(root + dvd);
  UpdateDrives(*table);
  EXPECT_EQ(Record("/media/alice/DVD_2009").DriveType, dtCDROM);
  EXPECT_EQ(Record("/dev/sr0").DriveType, dtUnknown);
  EXPECT_EQ(Drives.size(), 3u);
}

TEST_F(DriveRecords, FailedQueryEmptiesNamesAndKeepsNumbersAndType) {
  system.SetMountTable(root);
  const auto table = system.MakeTable();
  TVolumeInformationRecord rec;
  rec.VolumeName = "OLD";
  rec.FileSystemName = "iso9660";
  rec.SerialNumber = 7;
  rec.MaximumComponentLength = 9;
  rec.FileSystemFlags = 3;
  rec.DriveType = dtCDROM;

  EXPECT_FALSE(ReadVolumeInformation(*table, "/dev/sr0", rec));

  EXPECT_EQ(rec.Letter, "/dev/sr0");
  EXPECT_EQ(rec.RootPathName, "/dev/sr0");
  EXPECT_EQ(rec.VolumeName, "");
  EXPECT_EQ(rec.FileSystemName, "");
  EXPECT_EQ(rec.SerialNumber, 7u);
  EXPECT_EQ(rec.MaximumComponentLength, 9u);
  EXPECT_EQ(rec.FileSystemFlags, 3u);
  EXPECT_EQ(rec.DriveType, dtCDROM);
}

TEST_F(DriveRecords, SuccessfulQueryFillsEverythingButType) {
  system.SetMountTable(root + dvd);
  const auto table = system.MakeTable();
  TVolumeInformationRecord rec;
  rec.DriveType = dtRAM;
  EXPECT_TRUE(ReadVolumeInformation(*table, "/media/alice/DVD_2009", rec));
  EXPECT_EQ(rec.VolumeName, "DVD_2009");
  EXPECT_EQ(rec.FileSystemName, "iso9660");
  EXPECT_EQ(rec.MaximumComponentLength, 255u);
  EXPECT_EQ(rec.FileSystemFlags, 1u);
  EXPECT_EQ(rec.DriveType, dtRAM);

  TDiskSpace space;
  ASSERT_TRUE(ReadDiskSpace(*table, "/media/alice/DVD_2009", space));
  EXPECT_EQ(space.FreeBytes, 1500000u);
  EXPECT_EQ(space.TotalBytes, 4700000000u);
  EXPECT_FALSE(ReadDiskSpace(*table, "/dev/sr0", space));
  EXPECT_FALSE(ReadDiskSpace(*table, "relative/folder", space));
  // A folder on no listed drive (below a bind mount, say) has its volume's space.
  EXPECT_TRUE(ReadDiskSpace(*table, "/srv/www/site", space));
}

TEST(DriveExceptions, NoDriveIsACustomDriveError) {
  try {
    throw NoDriveException("drive /dev/sr0 is not ready");
  } catch (const CustomDriveException& e) {
    EXPECT_STREQ(e.what(), "drive /dev/sr0 is not ready");
  }
  // Code that knows only the standard exceptions still reports it.
  try {
    throw NoDriveException("no disc in /dev/sr0");
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "no disc in /dev/sr0");
  }
}

struct CaptionCase {
  const char* name;
  const char* letter;
  const char* label;
  const char* fileSystem;
  const char* caption;
};

std::ostream& operator<<(std::ostream& out, const CaptionCase& c) { return out << c.name; }

class VolumeCaptionTest : public ::testing::TestWithParam<CaptionCase> {};

TEST_P(VolumeCaptionTest, NamesDriveLabelAndFileSystem) {
  TVolumeInformationRecord rec;
  rec.Letter = GetParam().letter;
  rec.VolumeName = GetParam().label;
  rec.FileSystemName = GetParam().fileSystem;
  EXPECT_EQ(VolumeCaption(rec), GetParam().caption);
}

INSTANTIATE_TEST_SUITE_P(
    Records, VolumeCaptionTest,
    ::testing::Values(CaptionCase{"DiscWithLabel", "/media/alice/BACKUP_2009", "BACKUP_2009",
                                  "iso9660", "/media/alice/BACKUP_2009 : BACKUP_2009 [iso9660]"},
                      CaptionCase{"DiscWithoutLabel", "/mnt/image", "", "udf",
                                  "/mnt/image :  [udf]"},
                      CaptionCase{"LabelButNoFileSystem", "/dev/sr0", "OLD", "", "/dev/sr0 : OLD"},
                      CaptionCase{"NeitherLabelNorFileSystem", "/dev/sr0", "", "", "/dev/sr0 : "}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
