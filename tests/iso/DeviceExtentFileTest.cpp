#include <gtest/gtest.h>

#include <fstream>

#include "DiscImages.h"
#include "TempDir.h"
#include "platform/DeviceExtentFile.h"

namespace {

using platform::IUnbufferedFile;

// Mount options as the kernel's table prints them for each naming.
constexpr const char* kRockRidge = "ro,nojoliet,check=s,map=n,blocksize=2048";
constexpr const char* kJoliet = "ro,norock,check=r,map=n,blocksize=2048";
constexpr const char* kPlain = "ro,norock,check=s,map=n,blocksize=2048";
constexpr const char* kPlainMapOff = "ro,norock,check=s,map=o,blocksize=2048";
constexpr const char* kNoExtensions = "ro,nojoliet,check=s,map=n,blocksize=2048";
constexpr const char* kDeep = "Docs/Deep/a/b/c/d/e/f/g/h/Leaf.txt";

std::string Expected(const std::string& sources) {
  std::string bytes;
  std::size_t pos = 0;
  while (pos <= sources.size() && !sources.empty()) {
    const auto plus = sources.find('+', pos);
    bytes += isotest::TreeFile(sources.substr(pos, plus - pos));
    if (plus == std::string::npos) break;
    pos = plus + 1;
  }
  return bytes;
}

// Reads sector by sector, checking that every read but the last is a whole
// sector and the last one holds only the file's bytes.
std::string ReadAll(IUnbufferedFile& file) {
  platform::AlignedSector sector;
  std::string out;
  for (;;) {
    const auto n = file.Read(sector.bytes, platform::SectorSize);
    EXPECT_GE(n, 0) << "read failed at " << file.Position();
    if (n <= 0) break;
    const auto left = file.Size() - static_cast<std::int64_t>(out.size());
    EXPECT_EQ(n, std::min<std::int64_t>(left, 2048)) << "at " << out.size();
    out.append(reinterpret_cast<const char*>(sector.bytes), static_cast<std::size_t>(n));
  }
  return out;
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A folder holding files at the paths the driver would show, and a mount
// table naming the loop device as the folder's iso9660 mount.
class MountStandIn {
 public:
  MountStandIn(const isotest::Disc& disc, const std::string& options, const std::string& root = "/")
      : mountPoint_(std::filesystem::canonical(dir_.path()) / "disc") {
    std::filesystem::create_directories(mountPoint_);
    std::ofstream(dir_ / "mountinfo")
        << "22 1 254:1 / / rw,relatime shared:1 - ext4 /dev/vda1 rw\n"
        << "36 22 " << disc.loop->deviceMajor() << ":" << disc.loop->deviceMinor() << " " << root
        << " " << mountPoint_.string() << " ro,relatime - iso9660 " << disc.loop->device().string()
        << " " << options << "\n";
  }
  std::filesystem::path Put(const std::string& mountedPath, const std::string& bytes) {
    WriteFile(mountPoint_ / mountedPath, bytes);
    return mountPoint_ / mountedPath;
  }
  std::filesystem::path MountInfo() const { return dir_ / "mountinfo"; }

 private:
  testsupport::TempDir dir_;
  std::filesystem::path mountPoint_;
};

class DiscTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(isotest::TheDiscs().error.empty()) << isotest::TheDiscs().error;
  }
};

struct MountedCase {
  const char* name;
  const char* image;
  const char* options;
  const char* mountedPath;    // as the driver shows it under the options
  const char* sources;        // the tree files it holds, '+'-joined; "" for none
  int extraBytes;             // added to the stand-in copy to disagree in size
  const char* fallsBackWith;  // nullptr: reads the original bytes from the device
};

class MountedDiscTest : public DiscTest, public ::testing::WithParamInterface<MountedCase> {};

TEST_P(MountedDiscTest, ReadsTheFilesSectorsOrFallsBack) {
  const auto& c = GetParam();
  MountStandIn mount(isotest::TheDiscs()[c.image], c.options);
  const std::string expected = Expected(c.sources);
  const auto mounted =
      mount.Put(c.mountedPath, expected + std::string(static_cast<std::size_t>(c.extraBytes), 'x'));
  std::string why;
  const auto file = platform::OpenThroughDevice(mounted, why, mount.MountInfo());
  if (c.fallsBackWith) {
    EXPECT_EQ(file, nullptr);
    EXPECT_NE(why.find(c.fallsBackWith), std::string::npos) << why;
    return;
  }
  ASSERT_NE(file, nullptr) << why;
  EXPECT_EQ(file->Path(), platform::ReadPath::Device);
  EXPECT_EQ(file->Size(), static_cast<std::int64_t>(expected.size()));
  EXPECT_TRUE(ReadAll(*file) == expected) << "the bytes differ from " << c.sources;
}

INSTANTIATE_TEST_SUITE_P(
    Names, MountedDiscTest,
    ::testing::Values(
        MountedCase{"RockRidgeMixedCase", "rr-joliet", kRockRidge, "ReadMe.Txt", "ReadMe.Txt", 0,
                    nullptr},
        MountedCase{"RockRidgeLongName", "rr-joliet", kRockRidge, "Docs/Report2009.PDF",
                    "Docs/Report2009.PDF", 0, nullptr},
        MountedCase{"RockRidgeRelocatedDeepFolder", "rr-joliet", kRockRidge, kDeep, kDeep, 0,
                    nullptr},
        MountedCase{"RockRidgeUpperOfTwoCases", "rr-joliet", kRockRidge, "CASE.TXT", "CASE.TXT", 0,
                    nullptr},
        MountedCase{"RockRidgeLowerOfTwoCases", "rr-joliet", kRockRidge, "Case.txt", "Case.txt", 0,
                    nullptr},
        MountedCase{"RockRidgeEmptyFile", "rr-joliet", kRockRidge, "Empty.dat", "Empty.dat", 0,
                    nullptr},
        MountedCase{"RockRidgeWholeSectors", "rr-joliet", kRockRidge, "Exact.bin", "Exact.bin", 0,
                    nullptr},
        MountedCase{"JolietOverRockRidgeWithNorock", "rr-joliet", kJoliet, "Docs/Report2009.PDF",
                    "Docs/Report2009.PDF", 0, nullptr},
        MountedCase{"JolietDeepFolder", "rr-joliet", kJoliet, kDeep, kDeep, 0, nullptr},
        MountedCase{"JolietCaseFoldingIsAmbiguous", "rr-joliet", kJoliet, "Case.txt", "Case.txt", 0,
                    "more than one entry"},
        MountedCase{"PlainNamesUnderNorockNojoliet", "rr-joliet", kPlain, "docs/report20.pdf",
                    "Docs/Report2009.PDF", 0, nullptr},
        MountedCase{"PlainNamesWithMapOff", "rr-joliet", kPlainMapOff, "DOCS/REPORT20.PDF;1",
                    "Docs/Report2009.PDF", 0, nullptr},
        MountedCase{"UnknownNameFallsBack", "rr-joliet", kRockRidge, "Missing.txt", "ReadMe.Txt", 0,
                    "not in the disc's directory"},
        MountedCase{"NameTheDriverWouldNotShowFallsBack", "rr-joliet", kRockRidge, "readme.txt",
                    "ReadMe.Txt", 0, "not in the disc's directory"},
        MountedCase{"SizeMismatchFallsBack", "rr-joliet", kRockRidge, "ReadMe.Txt", "ReadMe.Txt", 1,
                    "the mounted file has 5001"},
        MountedCase{"SessionOptionFallsBack", "rr-joliet", "ro,nojoliet,check=s,map=n,session=0",
                    "ReadMe.Txt", "ReadMe.Txt", 0, "session"},
        MountedCase{"NorockNameLeadingToOneFileUnderBothNamings", "joliet",
                    "ro,norock,check=r,map=n", "readme.txt", "ReadMe.Txt", 0, nullptr},
        MountedCase{"NorockPlainNameUnknownToStrictJoliet", "joliet", kPlain, "readme.txt",
                    "ReadMe.Txt", 0, nullptr},
        MountedCase{"JolietOnlyDisc", "joliet", kJoliet, "Docs/Report2009.PDF",
                    "Docs/Report2009.PDF", 0, nullptr},
        MountedCase{"JolietOnlyDiscCaseFoldingIsAmbiguous", "joliet", kJoliet, "CASE.TXT",
                    "CASE.TXT", 0, "more than one entry"},
        MountedCase{"PlainDiscDeepNesting", "plain", kNoExtensions,
                    "docs/deep/a/b/c/d/e/f/g/h/leaf.txt", kDeep, 0, nullptr},
        MountedCase{"PlainDiscMapOff", "plain", "ro,nojoliet,check=s,map=o", "README.TXT;1",
                    "ReadMe.Txt", 0, nullptr},
        MountedCase{"PlainDiscUpperCaseNameUnderMapNormalFallsBack", "plain", kNoExtensions,
                    "README.TXT", "ReadMe.Txt", 0, "not in the disc's directory"},
        MountedCase{"XorrisoRockRidge", "xorriso", kRockRidge, kDeep, kDeep, 0, nullptr},
        MountedCase{"XorrisoRockRidgeMixedCase", "xorriso", kRockRidge, "ReadMe.Txt", "ReadMe.Txt",
                    0, nullptr},
        MountedCase{"XorrisoJoliet", "xorriso", kJoliet, "Docs/Report2009.PDF",
                    "Docs/Report2009.PDF", 0, nullptr},
        MountedCase{"MultiExtentFileInDirectoryOrder", "sections", kNoExtensions, "a.bin",
                    "B.BIN+A.BIN", 0, nullptr},
        MountedCase{"InterleavedFileFallsBack", "sections", kNoExtensions, "i.bin", "I.BIN", 0,
                    "interleaved"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DiscTest, BindMountOfAFolderFindsFilesBelowItsRoot) {
  MountStandIn mount(isotest::TheDiscs()["rr-joliet"], kRockRidge, "/Docs");
  const auto mounted = mount.Put("Report2009.PDF", Expected("Docs/Report2009.PDF"));
  std::string why;
  const auto file = platform::OpenThroughDevice(mounted, why, mount.MountInfo());
  ASSERT_NE(file, nullptr) << why;
  EXPECT_TRUE(ReadAll(*file) == Expected("Docs/Report2009.PDF"));
}

TEST_F(DiscTest, MountWhoseDeviceNumbersDisagreeFallsBack) {
  testsupport::TempDir dir;
  const auto mountPoint = std::filesystem::canonical(dir.path());
  WriteFile(mountPoint / "ReadMe.Txt", Expected("ReadMe.Txt"));
  const auto& loop = *isotest::TheDiscs()["rr-joliet"].loop;
  std::ofstream(dir / "mountinfo")
      << "36 22 " << loop.deviceMajor() << ":" << loop.deviceMinor() + 100 << " / "
      << mountPoint.string() << " ro - iso9660 " << loop.device().string() << " " << kRockRidge
      << "\n";
  std::string why;
  EXPECT_EQ(platform::OpenThroughDevice(mountPoint / "ReadMe.Txt", why, dir / "mountinfo"),
            nullptr);
  EXPECT_NE(why.find("is not its block device"), std::string::npos) << why;
}

TEST_F(DiscTest, FileOnAnotherFileSystemFallsBack) {
  testsupport::TempDir dir;
  const auto mountPoint = std::filesystem::canonical(dir.path());
  WriteFile(mountPoint / "ReadMe.Txt", Expected("ReadMe.Txt"));
  std::ofstream(dir / "mountinfo")
      << "36 22 254:1 / " << mountPoint.string() << " rw - ext4 /dev/vda1 rw\n";
  std::string why;
  EXPECT_EQ(platform::OpenThroughDevice(mountPoint / "ReadMe.Txt", why, dir / "mountinfo"),
            nullptr);
  EXPECT_NE(why.find("not iso9660"), std::string::npos) << why;
}

struct UnmountedCase {
  const char* name;
  const char* image;
  bool throughLoop;  // the loop device rather than the image file
  const char* pathOnDisc;
  const char* sources;
};

class UnmountedDiscTest : public DiscTest, public ::testing::WithParamInterface<UnmountedCase> {};

TEST_P(UnmountedDiscTest, ReadsTheFileByItsDefaultName) {
  const auto& c = GetParam();
  const auto& disc = isotest::TheDiscs()[c.image];
  std::string why;
  const auto file =
      platform::OpenOnDevice(c.throughLoop ? disc.loop->device() : disc.image, c.pathOnDisc, why);
  ASSERT_NE(file, nullptr) << why;
  EXPECT_EQ(file->Path(), platform::ReadPath::Device);
  EXPECT_TRUE(ReadAll(*file) == Expected(c.sources));
}

INSTANTIATE_TEST_SUITE_P(
    Names, UnmountedDiscTest,
    ::testing::Values(
        UnmountedCase{"ImageFileRockRidge", "rr-joliet", false, "/Docs/Report2009.PDF",
                      "Docs/Report2009.PDF"},
        UnmountedCase{"LoopDeviceRockRidgeDeep", "rr-joliet", true,
                      "/Docs/Deep/a/b/c/d/e/f/g/h/Leaf.txt", "Docs/Deep/a/b/c/d/e/f/g/h/Leaf.txt"},
        UnmountedCase{"ImageFileJoliet", "joliet", false, "/ReadMe.Txt", "ReadMe.Txt"},
        UnmountedCase{"LoopDevicePlainNames", "plain", true, "/docs/report2009.pdf",
                      "Docs/Report2009.PDF"},
        UnmountedCase{"ImageFileMultiExtent", "sections", false, "/a.bin", "B.BIN+A.BIN"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DiscTest, UnknownPathOnAnUnmountedDiscFallsBack) {
  std::string why;
  EXPECT_EQ(
      platform::OpenOnDevice(isotest::TheDiscs()["rr-joliet"].image, "/Docs/Nothing.txt", why),
      nullptr);
  EXPECT_NE(why.find("not in the disc's directory"), std::string::npos) << why;
}

TEST_F(DiscTest, ReadsFromAnyPositionAndStopsAtTheEnd) {
  const auto expected = Expected("B.BIN+A.BIN");
  std::string why;
  const auto file =
      platform::OpenOnDevice(isotest::TheDiscs()["sections"].loop->device(), "/a.bin", why);
  ASSERT_NE(file, nullptr) << why;
  platform::AlignedSector sector;
  const auto at = [&](std::int64_t position, std::size_t count) {
    EXPECT_TRUE(file->Seek(position));
    const auto n = file->Read(sector.bytes, count);
    return n < 0 ? std::string("<failed>")
                 : std::string(reinterpret_cast<const char*>(sector.bytes),
                               static_cast<std::size_t>(n));
  };
  // Inside a sector, across the boundary of the two extents, and the tail.
  EXPECT_TRUE(at(1000, 2048) == expected.substr(1000, 2048));
  EXPECT_TRUE(at(6144 - 100, 2048) == expected.substr(6144 - 100, 2048));
  EXPECT_TRUE(at(8192, 2048) == expected.substr(8192));
  EXPECT_EQ(file->Position(), 9144);
  EXPECT_EQ(at(9144, 2048), "");
  EXPECT_EQ(at(20000, 2048), "");
  EXPECT_TRUE(at(2048, 100) == expected.substr(2048, 100));
}

}  // namespace

namespace {

// A copy of the image that ends after the first sector of a file: the device
// then holds that sector and none of the rest, as a disc that fails there.
TEST_F(DiscTest, SectorsMissingFromTheDeviceFailAloneAndEveryRetryFailsAgain) {
  const auto& image = isotest::TheDiscs()["rr-joliet"].image;
  std::string why;
  const auto extents =
      platform::FindIsoFileExtents(image, "/Docs/Report2009.PDF", platform::IsoNaming{}, why);
  ASSERT_TRUE(extents) << why;
  ASSERT_EQ(extents->extents.size(), 1u);
  testsupport::TempDir dir;
  {
    std::ifstream in(image, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    bytes.resize(static_cast<std::size_t>(extents->extents[0].offset + 2048));
    WriteFile(dir / "cut.iso", bytes);
  }
  testsupport::LoopDevice loop(dir / "cut.iso");
  const auto expected = Expected("Docs/Report2009.PDF");
  for (const auto& source : {loop.device(), dir / "cut.iso"}) {
    const auto file = platform::OpenOnDevice(source, "/Docs/Report2009.PDF", why);
    ASSERT_NE(file, nullptr) << why;
    platform::AlignedSector sector;
    ASSERT_EQ(file->Read(sector.bytes, 2048), 2048) << source;
    EXPECT_TRUE(std::string(reinterpret_cast<const char*>(sector.bytes), 2048) ==
                expected.substr(0, 2048));
    for (int attempt = 0; attempt < 3; ++attempt) {
      EXPECT_EQ(file->Read(sector.bytes, 2048), -1) << source << " attempt " << attempt;
      EXPECT_EQ(file->Position(), 2048);
    }
    ASSERT_TRUE(file->Seek(0));
    EXPECT_EQ(file->Read(sector.bytes, 2048), 2048) << "the good sector reads again";
  }
}

}  // namespace
