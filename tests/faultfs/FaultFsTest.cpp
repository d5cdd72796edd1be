// velmora-faultfs through its test fixture: real mounts, real EIO.

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <set>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "DiscFiles.h"
#include "FaultDisc.h"
#include "TempDir.h"

namespace faultfs_test {
namespace {

// Thrown by a test body to show that fixtures clean up on the way out.
struct FailingTest {};

using testsupport::FaultDisc;
using testsupport::FaultDiscOptions;
using testsupport::RangeAttempts;
using testsupport::TempDir;

// /track.bin: 16 whole sectors and a 904-byte last one; /other.bin: 8 sectors.
constexpr std::uint64_t TrackSize = 16 * Sector + 904;

void MakeTrackFiles(const TempDir& source) {
  WritePattern(source / "track.bin", 0, TrackSize);
  WritePattern(source / "other.bin", 0, 8 * Sector);
}

std::set<std::string> ListFolder(const std::filesystem::path& folder, int& error) {
  std::set<std::string> names;
  error = 0;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) {
    error = errno;
    return names;
  }
  while (const dirent* entry = ::readdir(dir)) names.insert(entry->d_name);
  ::closedir(dir);
  return names;
}

// ---- one read against a fault list ----

struct ReadCase {
  const char* name;
  const char* faults;
  std::uint64_t offset;
  std::size_t size;
  int error;  // expected errno, 0: the source bytes come back
  // the range listed in `faults` and what it counts after the read
  const char* rangePath;
  std::uint64_t rangeStart, rangeEnd;
  RangeAttempts counted;
};
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class FaultedRead : public testing::TestWithParam<ReadCase> {};

TEST_P(FaultedRead, ReturnsSourceBytesOrEioAndCountsTouchedRange) {
  const ReadCase& c = GetParam();
  TempDir source;
  MakeTrackFiles(source);
  FaultDisc disc(source.path(), c.faults);

  const ReadResult read = ReadOnce(disc / "track.bin", c.offset, c.size);

  EXPECT_EQ(read.error, c.error) << std::strerror(read.error);
  if (c.error == 0) {
    const auto expected = std::min<std::uint64_t>(c.size, TrackSize - c.offset);
    EXPECT_EQ(read.data, PatternBytes(c.offset, expected));
  }
  const RangeAttempts counted = disc.attempts(c.rangePath, c.rangeStart, c.rangeEnd);
  EXPECT_EQ(counted.attempts, c.counted.attempts);
  EXPECT_EQ(counted.failures, c.counted.failures);
}

// A request touching a bad range counts once for it; one that only borders it does not.
INSTANTIATE_TEST_SUITE_P(
    Ranges, FaultedRead,
    testing::Values(
        ReadCase{"GoodSectorBeforeBadOne",
                 "bad /track.bin 3s 4s",
                 2 * Sector,
                 Sector,
                 0,
                 "/track.bin",
                 3 * Sector,
                 4 * Sector,
                 {0, 0}},
        ReadCase{"BadSectorFailsWithEio",
                 "bad /track.bin 3s 4s",
                 3 * Sector,
                 Sector,
                 EIO,
                 "/track.bin",
                 3 * Sector,
                 4 * Sector,
                 {1, 1}},
        ReadCase{"GoodSectorAfterBadOne",
                 "bad /track.bin 3s 4s",
                 4 * Sector,
                 Sector,
                 0,
                 "/track.bin",
                 3 * Sector,
                 4 * Sector,
                 {0, 0}},
        ReadCase{"LongReadOverBadSectorFailsWhole",
                 "bad /track.bin 3s 4s",
                 0,
                 8 * Sector,
                 EIO,
                 "/track.bin",
                 3 * Sector,
                 4 * Sector,
                 {1, 1}},
        ReadCase{"OneBadByteFailsItsSector",
                 "bad /track.bin 6145 6146",
                 3 * Sector,
                 Sector,
                 EIO,
                 "/track.bin",
                 6145,
                 6146,
                 {1, 1}},
        ReadCase{"RangeEndIsExclusive",
                 "bad /track.bin 0 6144",
                 3 * Sector,
                 Sector,
                 0,
                 "/track.bin",
                 0,
                 6144,
                 {0, 0}},
        ReadCase{"HexOffsets",
                 "bad /track.bin 0x1800 0x2000",
                 3 * Sector,
                 Sector,
                 EIO,
                 "/track.bin",
                 0x1800,
                 0x2000,
                 {1, 1}},
        ReadCase{"ShortLastSectorFails",
                 "bad /track.bin 16s 33672",
                 16 * Sector,
                 Sector,
                 EIO,
                 "/track.bin",
                 16 * Sector,
                 TrackSize,
                 {1, 1}},
        ReadCase{"RangePastEndOfFileIsNeverTouched",
                 "bad /track.bin 33672 20s",
                 16 * Sector,
                 Sector,
                 0,
                 "/track.bin",
                 TrackSize,
                 20 * Sector,
                 {0, 0}},
        ReadCase{"ZeroTimesOnlyCounts",
                 "bad /track.bin 3s 4s 0",
                 3 * Sector,
                 Sector,
                 0,
                 "/track.bin",
                 3 * Sector,
                 4 * Sector,
                 {1, 0}},
        ReadCase{"OtherFilesRangeLeavesThisOneAlone",
                 "bad /other.bin 3s 4s",
                 3 * Sector,
                 Sector,
                 0,
                 "/other.bin",
                 3 * Sector,
                 4 * Sector,
                 {0, 0}},
        ReadCase{"CommentsAndBlankLinesIgnored",
                 "# legend: sector 3 of the track is bad\n\n  bad /track.bin 3s 4s  # scratch\n",
                 3 * Sector,
                 Sector,
                 EIO,
                 "/track.bin",
                 3 * Sector,
                 4 * Sector,
                 {1, 1}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(QuotedPath, WithBlanksAndQuotesIsFaultedAndCounted) {
  TempDir source;
  std::filesystem::create_directory(source / "My Disc");
  WritePattern(source / "My Disc" / "a \"b\".bin", 0, 4 * Sector);
  FaultDiscOptions options;
  options.trace = true;
  FaultDisc disc(source.path(), R"(bad "/My Disc/a \"b\".bin" 1s 2s)", options);

  EXPECT_EQ(ReadOnce(disc / "My Disc" / "a \"b\".bin", Sector, Sector).error, EIO);
  EXPECT_EQ(ReadOnce(disc / "My Disc" / "a \"b\".bin", 0, Sector).error, 0);
  EXPECT_EQ(disc.attempts("/My Disc/a \"b\".bin", Sector, 2 * Sector).attempts, 1u);
  ASSERT_EQ(disc.requests().size(), 2u);
  EXPECT_EQ(disc.requests()[0].path, "/My Disc/a \"b\".bin");
  EXPECT_EQ(disc.requests()[0].result, -EIO);
}

// ---- a flaky sector: the first TIMES attempts fail ----

class FlakySector : public testing::TestWithParam<int> {};

TEST_P(FlakySector, FailsItsTimesThenReadsEveryTime) {
  const int times = GetParam();
  TempDir source;
  MakeTrackFiles(source);
  FaultDisc disc(source.path(), "bad /track.bin 5s 6s " + std::to_string(times));

  for (int attempt = 1; attempt <= times; ++attempt)
    EXPECT_EQ(ReadOnce(disc / "track.bin", 5 * Sector, Sector).error, EIO) << "attempt " << attempt;
  for (int attempt = 0; attempt < 2; ++attempt) {
    const ReadResult read = ReadOnce(disc / "track.bin", 5 * Sector, Sector);
    EXPECT_EQ(read.error, 0);
    EXPECT_EQ(read.data, PatternBytes(5 * Sector, Sector));
  }
  const RangeAttempts counted = disc.attempts("/track.bin", 5 * Sector, 6 * Sector);
  EXPECT_EQ(counted.attempts, static_cast<std::uint64_t>(times) + 2);
  EXPECT_EQ(counted.failures, static_cast<std::uint64_t>(times));
}

// Three failures are as many as the copier tries: that sector stays lost to it.
INSTANTIATE_TEST_SUITE_P(Times, FlakySector, testing::Values(1, 2, 3), [](const auto& info) {
  return "Fails" + std::to_string(info.param) + "Times";
});

// ---- unreadable entries ----

struct UnreadableCase {
  const char* name;
  const char* faults;
  int error;
};
void PrintTo(const UnreadableCase& c, std::ostream* os) { *os << c.name; }

class UnreadableFolder : public testing::TestWithParam<UnreadableCase> {};

TEST_P(UnreadableFolder, CannotBeListedNorLookedIntoWhileSiblingsCan) {
  const UnreadableCase& c = GetParam();
  TempDir source;
  std::filesystem::create_directories(source / "sealed" / "deeper");
  testsupport::WriteFileBytes(source / "sealed" / "inner.txt", "inner");
  std::filesystem::create_directory(source / "open");
  testsupport::WriteFileBytes(source / "open" / "file.txt", "file");
  FaultDisc disc(source.path(), c.faults);

  int error = 0;
  ListFolder(disc / "sealed", error);
  EXPECT_EQ(error, c.error);
  struct stat st {};
  EXPECT_EQ(::stat((disc / "sealed" / "inner.txt").c_str(), &st), -1);
  EXPECT_EQ(errno, c.error);
  EXPECT_EQ(::stat((disc / "sealed").c_str(), &st), 0) << "the folder itself is still there";
  EXPECT_THAT(ListFolder(disc.mountPoint(), error), testing::IsSupersetOf({"sealed", "open"}));
  EXPECT_THAT(ListFolder(disc / "open", error), testing::Contains("file.txt"));
  EXPECT_EQ(error, 0);
}

INSTANTIATE_TEST_SUITE_P(Errors, UnreadableFolder,
                         testing::Values(UnreadableCase{"Eio", "unreadable /sealed", EIO},
                                         UnreadableCase{"Eacces", "unreadable /sealed/ EACCES",
                                                        EACCES}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UnreadableFile, CannotBeOpenedButIsListed) {
  TempDir source;
  MakeTrackFiles(source);
  FaultDisc disc(source.path(), "unreadable /other.bin");

  EXPECT_EQ(ReadOnce(disc / "other.bin", 0, Sector).error, EIO);
  EXPECT_EQ(ReadOnce(disc / "track.bin", 0, Sector).error, 0);
  int error = 0;
  EXPECT_THAT(ListFolder(disc.mountPoint(), error), testing::Contains("other.bin"));
}

// ---- a faithful read-only mirror ----

struct Entry {
  std::filesystem::file_type type;
  std::uintmax_t size;
  std::filesystem::perms perms;
  std::string target;  // of a symlink
  bool operator==(const Entry&) const = default;
};

std::map<std::string, Entry> Tree(const std::filesystem::path& root) {
  std::map<std::string, Entry> tree;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    const auto status = e.symlink_status();
    Entry entry{status.type(), 0, status.permissions(), {}};
    if (e.is_symlink())
      entry.target = std::filesystem::read_symlink(e.path()).string();
    else if (e.is_regular_file())
      entry.size = e.file_size();
    tree[std::filesystem::relative(e.path(), root).string()] = entry;
  }
  return tree;
}

TEST(Mirror, ServesEveryEntryWithTypeSizeModeAndContents) {
  TempDir source;
  std::filesystem::create_directories(source / "DVD" / "VIDEO_TS");
  std::filesystem::create_directory(source / ".hidden folder");
  testsupport::WriteFileBytes(source / ".hidden", "hidden");
  testsupport::WriteFileBytes(source / ".hidden folder" / "a b.txt", "blanks");
  testsupport::WriteFileBytes(source / "empty", "");
  WritePattern(source / "DVD" / "VIDEO_TS" / "VTS_01_1.VOB", 0, 3 * Sector + 5);
  std::filesystem::permissions(
      source / "empty", std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  std::filesystem::create_symlink("DVD/VIDEO_TS", source / "link to folder");
  std::filesystem::create_symlink("/nowhere/at/all", source / "dangling");
  FaultDisc disc(source.path());

  EXPECT_EQ(Tree(disc.mountPoint()), Tree(source.path()));
  EXPECT_EQ(ReadOnce(disc / "DVD" / "VIDEO_TS" / "VTS_01_1.VOB", 0, 4 * Sector).data,
            PatternBytes(0, 3 * Sector + 5));
  EXPECT_EQ(testsupport::ReadFileBytes(disc / ".hidden folder" / "a b.txt"), "blanks");
  EXPECT_EQ(testsupport::ReadFileBytes(disc / "link to folder" / "VTS_01_1.VOB").size(),
            3 * Sector + 5);
}

// A listing hands every entry's attributes to the kernel, which keeps them:
// a walk that stats each listed entry sends no request per entry. Shown by
// changing the source after the listing (which a disc never does): the
// mount still gives the sizes of the listing. Enough entries that the
// kernel takes the listing in several parts.
TEST(Listing, EntriesKeepTheAttributesTheListingGave) {
  constexpr int Files = 400;
  TempDir source;
  std::filesystem::create_directory(source / "DCIM");
  const auto name = [](int i) { return "IMG_" + std::to_string(1000000 + i) + ".JPG"; };
  for (int i = 0; i < Files; ++i) WritePattern(source / "DCIM" / name(i), 0, 1 + i);
  FaultDisc disc(source.path());

  int error = 0;
  EXPECT_EQ(ListFolder(disc / "DCIM", error).size(), Files + 2u);  // with "." and ".."
  EXPECT_EQ(error, 0);
  for (int i = 0; i < Files; ++i) std::filesystem::resize_file(source / "DCIM" / name(i), 0);
  int kept = 0;
  for (int i = 0; i < Files; ++i) {
    struct stat st {};
    ASSERT_EQ(::lstat((disc / "DCIM" / name(i)).c_str(), &st), 0) << name(i);
    if (st.st_size == 1 + i) ++kept;
  }
  EXPECT_EQ(kept, Files);
}

TEST(Mirror, RefusesWrites) {
  TempDir source;
  MakeTrackFiles(source);
  FaultDisc disc(source.path());

  EXPECT_EQ(::open((disc / "track.bin").c_str(), O_WRONLY | O_CLOEXEC), -1);
  EXPECT_EQ(errno, EROFS);
  EXPECT_EQ(::open((disc / "new.bin").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644), -1);
  EXPECT_EQ(errno, EROFS);
}

// Sizes and offsets past 4 GiB: the copier's 32-bit limit must be testable.
TEST(Mirror, SparseFileOver4GiBHasFullSizeAndReadsPastIt) {
  constexpr std::uint64_t FourGiB = 1ULL << 32;
  TempDir source;
  const auto big = source / "big.iso";
  WritePattern(big, FourGiB + 3 * Sector, Sector);
  std::filesystem::resize_file(big, FourGiB + 64 * Sector);
  FaultDisc disc(source.path(), "bad /big.iso 4294975488 4294977536");  // + 4s..5s

  EXPECT_EQ(std::filesystem::file_size(disc / "big.iso"), FourGiB + 64 * Sector);
  const ReadResult good = ReadOnce(disc / "big.iso", FourGiB + 3 * Sector, Sector);
  EXPECT_EQ(good.error, 0);
  EXPECT_EQ(good.data, PatternBytes(FourGiB + 3 * Sector, Sector));
  EXPECT_EQ(ReadOnce(disc / "big.iso", FourGiB + 4 * Sector, Sector).error, EIO);
  EXPECT_EQ(ReadOnce(disc / "big.iso", 4 * Sector, Sector).data, std::string(Sector, '\0'))
      << "the same sector 4 GiB lower is not the bad one";
  EXPECT_EQ(disc.attempts("/big.iso", FourGiB + 4 * Sector, FourGiB + 5 * Sector).attempts, 1u);
}

// ---- the mount as the drive table sees it ----

struct SubtypeCase {
  const char* name;
  const char* subtype;
  const char* fsType;
};
void PrintTo(const SubtypeCase& c, std::ostream* os) { *os << c.name; }

class MountType : public testing::TestWithParam<SubtypeCase> {};

TEST_P(MountType, ShowsSubtypeAndIsReadOnly) {
  TempDir source;
  FaultDiscOptions options;
  options.subtype = GetParam().subtype;
  options.fsname = "/dev/sr9";
  FaultDisc disc(source.path(), "", options);
  EXPECT_EQ(testsupport::MountedFsType(disc.mountPoint()), GetParam().fsType);
  const std::string mountinfo = testsupport::ReadFileBytes("/proc/self/mountinfo");
  EXPECT_THAT(mountinfo, testing::ContainsRegex(disc.mountPoint().string() + " ro,.* - " +
                                                GetParam().fsType + " /dev/sr9 "));
}

INSTANTIATE_TEST_SUITE_P(Subtypes, MountType,
                         testing::Values(SubtypeCase{"OpticalDisc", "iso9660", "fuse.iso9660"},
                                         SubtypeCase{"Udf", "udf", "fuse.udf"},
                                         SubtypeCase{"None", "", "fuse"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- every read reaches the file system ----

class NoCache : public testing::TestWithParam<bool> {};

TEST_P(NoCache, RepeatedReadOfOneSectorReachesFileSystemEachTime) {
  TempDir source;
  MakeTrackFiles(source);
  FaultDiscOptions options;
  options.trace = true;
  FaultDisc disc(source.path(), "bad /track.bin 7s 8s 0", options);

  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(ReadOnce(disc / "track.bin", 7 * Sector, Sector, GetParam()).error, 0);

  EXPECT_EQ(disc.attempts("/track.bin", 7 * Sector, 8 * Sector).attempts, 3u);
  const auto requests = disc.requests();
  ASSERT_EQ(requests.size(), 3u);
  for (const auto& r : requests) {
    EXPECT_EQ(r.path, "/track.bin");
    EXPECT_EQ(r.offset, 7 * Sector);
    EXPECT_EQ(r.size, Sector) << "no readahead";
    EXPECT_EQ(r.result, static_cast<std::int64_t>(Sector));
  }
}

INSTANTIATE_TEST_SUITE_P(OpenModes, NoCache, testing::Bool(),
                         [](const auto& info) { return info.param ? "ODirect" : "Buffered"; });

// Only a lower bound: the delay is applied, never how fast anything is.
TEST(Delays, FailedAndGoodReadsWaitAtLeastTheirDelay) {
  using namespace std::chrono_literals;
  TempDir source;
  MakeTrackFiles(source);
  FaultDiscOptions options;
  options.readDelay = 10ms;
  options.failDelay = 40ms;
  FaultDisc disc(source.path(), "bad /track.bin 3s 4s", options);

  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(ReadOnce(disc / "track.bin", 3 * Sector, Sector).error, EIO);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 120ms);
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ReadOnce(disc / "track.bin", 0, Sector).error, 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
}

// ---- a fixture that cannot mount says why ----

struct BadListCase {
  const char* name;
  const char* faults;
  const char* reason;
};
void PrintTo(const BadListCase& c, std::ostream* os) { *os << c.name; }

class BadFaultList : public testing::TestWithParam<BadListCase> {};

TEST_P(BadFaultList, ConstructorThrowsWithFileSystemsReason) {
  TempDir source;
  MakeTrackFiles(source);
  try {
    FaultDisc disc(source.path(), GetParam().faults);
    FAIL() << "mounted " << disc.mountPoint();
  } catch (const std::runtime_error& e) {
    EXPECT_THAT(e.what(), testing::HasSubstr(GetParam().reason));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, BadFaultList,
    testing::Values(
        BadListCase{"MissingFile", "bad /missing.bin 0 2048", "no regular file /missing.bin"},
        BadListCase{"FolderAsFile", "bad / 0 2048", "no regular file /"},
        BadListCase{"UnknownFault", "scratch /track.bin", "line 1: unknown fault \"scratch\""},
        BadListCase{"EmptyRange", "\nbad /track.bin 10 10", "line 2: START must be below END"},
        BadListCase{"NotANumber", "bad /track.bin 0 ten", "\"ten\" is not a number"},
        BadListCase{"RelativePath", "unreadable track.bin", "must start with /"},
        BadListCase{"UnknownError", "unreadable /track.bin ENOENT", "EIO or EACCES"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- nothing stays behind ----

TEST(Cleanup, MountAndProcessGoWithFixture) {
  TempDir source;
  MakeTrackFiles(source);
  std::filesystem::path mountPoint;
  pid_t pid = -1;
  {
    FaultDisc disc(source.path());
    mountPoint = disc.mountPoint();
    pid = disc.pid();
    ASSERT_EQ(testsupport::MountedFsType(mountPoint), "fuse.iso9660");
  }
  EXPECT_EQ(testsupport::MountedFsType(mountPoint), "");
  EXPECT_EQ(::kill(pid, 0), -1) << "velmora-faultfs still runs";
}

TEST(Cleanup, MountGoesEvenWithFileStillOpenAndTestThrowing) {
  TempDir source;
  MakeTrackFiles(source);
  std::filesystem::path mountPoint;
  pid_t pid = -1;
  int fd = -1;
  try {
    FaultDisc disc(source.path());
    mountPoint = disc.mountPoint();
    pid = disc.pid();
    fd = ::open((disc / "track.bin").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    throw FailingTest();
  } catch (const FailingTest&) {
  }
  EXPECT_EQ(testsupport::MountedFsType(mountPoint), "");
  EXPECT_EQ(::kill(pid, 0), -1) << "velmora-faultfs still runs";
  char byte = 0;
  EXPECT_EQ(::pread(fd, &byte, 1, 0), -1) << "the open file lost its file system";
  ::close(fd);
}

}  // namespace
}  // namespace faultfs_test
