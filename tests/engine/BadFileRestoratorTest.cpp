#include <sys/mount.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "CopyCases.h"
#include "EventText.h"
#include "FaultInjector.h"
#include "ForkedSteps.h"
#include "ParamName.h"
#include "ScopedMount.h"
#include "TempDir.h"
#include "engine/BadFileRestorator.h"

namespace {

using testsupport::BadSector;
using testsupport::CopyCase;
using testsupport::CopyCases;
using testsupport::CopyReadMode;
using testsupport::CopyReadModes;
using testsupport::FaultInjector;
using testsupport::KindText;
using testsupport::ModeText;
using testsupport::Recorder;
using testsupport::TempDir;

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('A' + i % 23);
  return bytes;
}

Recorder Answer(TFileSaveEventType kind, int occurrence, TFileSaveCancelMode mode,
                bool onFailedAttempt = false) {
  Recorder r;
  r.kind = kind;
  r.occurrence = occurrence;
  r.answer = mode;
  r.onFailedAttempt = onFailedAttempt;
  return r;
}

// Each row is read sector by sector (one request per block) and in runs:
// the events and the target are the same either way.
class CopyTable : public testing::TestWithParam<std::tuple<CopyCase, CopyReadMode>> {};

TEST_P(CopyTable, EventsTargetAndAttempts) {
  const CopyCase& row = std::get<0>(GetParam());
  const int runSectors = std::get<1>(GetParam()).runSectors;
  ScopedRunSectors runs(runSectors);
  TempDir dir;
  FaultInjector disc;
  const std::filesystem::path source = "/media/u/D/file.bin";
  const std::string bytes = Pattern(row.size);
  disc.AddFile(source, bytes, row.bad);
  if (row.failSeeks) disc.FailSeeks(source);
  ScopedRestoratorIo io(&disc);
  Recorder rec;
  static_cast<testsupport::CopyAnswer&>(rec) = row.answer;
  rec.source = source;
  const auto target = dir / "out" / "file.bin";

  const auto result = BadFileRestorator::SaveFile(source, target, rec.Proc());

  EXPECT_EQ(result, row.result);
  EXPECT_EQ(rec.events, runSectors > 1 && !row.runEvents.empty() ? row.runEvents : row.events);
  std::string expected = bytes.substr(0, row.targetSize);
  for (auto s : row.zeroSectors) {
    const auto from = static_cast<std::size_t>(s) * 2048;
    if (from < expected.size())
      std::fill(
          expected.begin() + static_cast<std::ptrdiff_t>(from),
          expected.begin() + static_cast<std::ptrdiff_t>(std::min(expected.size(), from + 2048)),
          '\0');
  }
  EXPECT_EQ(testsupport::ReadFileBytes(target), expected);
  const auto& attempts = runSectors == 1 ? row.attempts : row.runAttempts;
  ASSERT_EQ(attempts.size(), row.attempts.size());
  for (std::size_t s = 0; s < attempts.size(); ++s)
    EXPECT_EQ(disc.Attempts(source, static_cast<std::int64_t>(s)), attempts[s]) << "sector " << s;
}

INSTANTIATE_TEST_SUITE_P(Copier, CopyTable,
                         testing::Combine(testing::ValuesIn(CopyCases()),
                                          testing::ValuesIn(CopyReadModes())),
                         testsupport::RowName());

// --- runs of sectors ------------------------------------------------------------

// A file of 100 sectors and 500 bytes, read in runs of up to 32 sectors:
// [0, 32), [32, 64), [64, 96), [96, 101). Each row's events and target must
// be those of the same copy read sector by sector; its always-bad sectors
// are read exactly three times, no good sector more than twice, and the run
// requests show where the copier went back to runs.
struct RunRow {
  const char* name;
  std::vector<BadSector> bad;
  bool shortRuns;  // a failing run returns the sectors before the bad one
  Recorder answer;
  std::map<std::int64_t, int> attempts;  // exact counts of these sectors
  int runRequests;                       // requests of more than one sector
};
void PrintTo(const RunRow& row, std::ostream* os) { *os << row.name; }

constexpr std::size_t RunFileSize = 100 * 2048 + 500;

const std::vector<RunRow>& RunRows() {
  // After a failure 32 sectors are read singly, then runs of 2, 4, 8, 16
  // and 32 sectors, each cut at the next 64 KiB boundary.
  static const std::vector<RunRow> rows = {
      {"Healthy", {}, false, {}, {{0, 1}, {31, 1}, {100, 1}}, 4},
      // [32,64) fails; singles 33..64; runs [65,67) [67,71) [71,79) [79,95),
      // a single 95 up to the boundary, [96,101)
      {"BadAtRunStart", {{32}}, false, {}, {{32, 3}, {33, 2}, {64, 1}, {95, 1}}, 7},
      // singles 32..72; runs [73,75) [75,79) [79,87) [87,96) [96,101)
      {"BadInRunMiddle", {{40}}, false, {}, {{39, 2}, {40, 3}, {41, 2}, {73, 1}}, 7},
      // singles 64..95; runs [96,98) [98,101)
      {"BadAtRunEnd", {{63}}, false, {}, {{62, 2}, {63, 3}, {64, 1}}, 2 + 2},
      {"TwoInOneRun", {{35}, {50}}, false, {}, {{35, 3}, {50, 3}, {49, 2}, {63, 2}}, 2 + 4},
      // [32,64) fails at 62, 63; singles from 32 fail at 64, 65 too; none
      // of 64, 65 was in a failed run, so singles read them three times;
      // singles 66..97, a run [98,100), a single 100
      {"ClusterAcrossRunBoundary",
       {{62}, {63}, {64}, {65}},
       false,
       {},
       {{61, 2}, {62, 3}, {63, 3}, {64, 3}, {65, 3}, {66, 1}},
       2 + 1},
      {"FlakyTwiceReadOnTheThirdAttempt", {{40, 2}}, false, {}, {{40, 3}, {41, 2}}, 7},
      // the short run keeps [32,40), the rest of it is read singly
      {"ShortReadKeepsItsGoodSectors", {{40}}, true, {}, {{32, 1}, {39, 1}, {40, 3}, {41, 1}}, 7},
      // [96,101) fails; the partial last sector alone three times
      {"BadLastPartialSector", {{100}}, false, {}, {{99, 2}, {100, 3}}, 4},
      // the skip comes after the 10th block, all of the first run was read
      {"SkipInsideARun",
       {},
       false,
       Answer(fseProgress, 10, fscSkip),
       {{9, 1}, {31, 1}, {32, 0}},
       1},
      {"CancelAtAFailedAttemptInsideARun",
       {{40}},
       false,
       Answer(fseProgress, 2, fscCancel, true),
       {{40, 2}, {41, 1}, {64, 0}},
       2},
  };
  return rows;
}

struct RunCopy {
  std::vector<std::string> events;
  TFileSaveCancelMode result;
  std::string target;
};

RunCopy CopyOf(const RunRow& row, int runSectors, FaultInjector& disc) {
  const std::filesystem::path source = "/media/u/D/runs.bin";
  disc.AddFile(source, Pattern(RunFileSize), row.bad);
  disc.ShortRuns(source, row.shortRuns);
  ScopedRestoratorIo io(&disc);
  ScopedRunSectors runs(runSectors);
  TempDir dir;
  Recorder rec = row.answer;
  rec.source = source;
  RunCopy copy;
  copy.result = BadFileRestorator::SaveFile(source, dir / "t.bin", rec.Proc());
  copy.events = rec.events;
  copy.target = testsupport::ReadFileBytes(dir / "t.bin");
  return copy;
}

class RunTable : public testing::TestWithParam<RunRow> {};

TEST_P(RunTable, SameEventsAndTargetAsSectorReadsFewerRequests) {
  const RunRow& row = GetParam();
  FaultInjector bySector, byRun;
  const RunCopy expected = CopyOf(row, 1, bySector);
  const RunCopy copy = CopyOf(row, 32, byRun);

  EXPECT_EQ(copy.result, expected.result);
  EXPECT_EQ(copy.events, expected.events);
  EXPECT_TRUE(copy.target == expected.target) << "the targets differ";
  const std::filesystem::path source = "/media/u/D/runs.bin";
  for (std::int64_t s = 0; s <= 100; ++s) {
    const auto exact = row.attempts.find(s);
    if (exact != row.attempts.end())
      EXPECT_EQ(byRun.Attempts(source, s), exact->second) << "sector " << s;
    else
      EXPECT_LE(byRun.Attempts(source, s), 2) << "sector " << s;
  }
  EXPECT_EQ(byRun.RunReads(source), row.runRequests);
  EXPECT_EQ(bySector.RunReads(source), 0);
}

INSTANTIATE_TEST_SUITE_P(Copier, RunTable, testing::ValuesIn(RunRows()), testsupport::RowName());

// A sector that fails once inside a run and reads at its first single
// attempt: the failed run is nobody's attempt, so no failed-attempt event
// is sent; the sector costs two reads as any good one in a failed run.
TEST(CopierRuns, SectorFailingOnceInARunReadsWithoutAFailedAttempt) {
  FaultInjector disc;
  RunRow row{"FlakyOnce", {{40, 1}}, false, {}, {}, 0};
  const RunCopy copy = CopyOf(row, 32, disc);
  EXPECT_EQ(copy.result, fscNormal);
  EXPECT_EQ(copy.target, Pattern(RunFileSize));
  EXPECT_EQ(std::count(copy.events.begin(), copy.events.end(), "progress - 0 normal"), 0);
  EXPECT_EQ(disc.Attempts("/media/u/D/runs.bin", 40), 2);
}

// --- the copier around the loop ----------------------------------------------

class CopierTest : public testing::Test {
 protected:
  TempDir dir;
  FaultInjector disc;
  ScopedRestoratorIo io{&disc};
  Recorder rec;
};

// The source is opened first: one that cannot be opened costs an existing
// target nothing and creates none.
TEST_F(CopierTest, MissingSourceCreatesNoTargetAndSendsNothing) {
  const auto target = dir / "t.bin";
  TFileSaveReport report;
  EXPECT_EQ(BadFileRestorator::SaveFile("/media/u/D/none", target, rec.Proc(), nullptr, &report),
            fscError);
  EXPECT_TRUE(rec.events.empty());
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_NE(report.Error.find("Cannot open file \"/media/u/D/none\"."), std::string::npos)
      << report.Error;
}

TEST_F(CopierTest, MissingSourceLeavesAnExistingTargetIntact) {
  testsupport::WriteFileBytes(dir / "t.bin", "keep me");
  EXPECT_EQ(BadFileRestorator::SaveFile("/media/u/D/none", dir / "t.bin", rec.Proc()), fscError);
  EXPECT_EQ(testsupport::ReadFileBytes(dir / "t.bin"), "keep me");
}

TEST_F(CopierTest, CreatesTheMissingFolderChain) {
  disc.AddFile("/s", "abc");
  const auto target = dir / "a" / "b" / "c" / "t.bin";
  EXPECT_EQ(BadFileRestorator::SaveFile("/s", target, nullptr), fscNormal);
  EXPECT_EQ(testsupport::ReadFileBytes(target), "abc");
}

TEST_F(CopierTest, NameWithoutFolderPartIsWrittenInTheCurrentFolder) {
  disc.AddFile("/s", "abc");
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const auto result = BadFileRestorator::SaveFile("/s", "plain.bin", nullptr);
  std::filesystem::current_path(old);
  EXPECT_EQ(result, fscNormal);
  EXPECT_EQ(testsupport::ReadFileBytes(dir / "plain.bin"), "abc");
}

TEST_F(CopierTest, ExistingTargetIsTruncated) {
  disc.AddFile("/s", "abc");
  testsupport::WriteFileBytes(dir / "t.bin", std::string(10000, 'x'));
  EXPECT_EQ(BadFileRestorator::SaveFile("/s", dir / "t.bin", nullptr), fscNormal);
  EXPECT_EQ(testsupport::ReadFileBytes(dir / "t.bin"), "abc");
}

TEST_F(CopierTest, FolderThatCannotBeCreatedThrowsBeforeAnyEvent) {
  disc.AddFile("/s", "abc");
  testsupport::WriteFileBytes(dir / "file", "in the way");
  const auto target = dir / "file" / "sub" / "t.bin";
  try {
    BadFileRestorator::SaveFile("/s", target, rec.Proc());
    FAIL() << "no exception";
  } catch (const CreateDirectoryException& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot create \"" + (dir / "file" / "sub").string() + "/\" directory");
  }
  EXPECT_TRUE(rec.events.empty());
  EXPECT_EQ(disc.Opens("/s"), 0);
}

TEST_F(CopierTest, TargetThatCannotBeCreatedIsAnErrorWithoutEvents) {
  disc.AddFile("/s", "abc");
  std::filesystem::create_directory(dir / "t.bin");  // a folder where the file should go
  EXPECT_EQ(BadFileRestorator::SaveFile("/s", dir / "t.bin", rec.Proc()), fscError);
  EXPECT_TRUE(rec.events.empty());
  EXPECT_EQ(disc.Opens("/s"), 1);  // opened first, then closed unread
  EXPECT_EQ(disc.TotalReads("/s"), 0);
}

// The disc taken out during the copy: the first read that says so ends the
// file with an error, without further attempts; what was written stays.
TEST_F(CopierTest, DiscGoneEndsTheCopyAtOnceKeepingWhatWasWritten) {
  for (const int runSectors : {1, 32}) {
    SCOPED_TRACE(runSectors);
    ScopedRunSectors runs(runSectors);
    disc.AddFile("/s", Pattern(200 * 2048));
    const int good = runSectors == 1 ? 70 : 2;  // requests before the disc goes
    const std::size_t written = static_cast<std::size_t>(good * runSectors) * 2048;
    disc.GoneAfter("/s", good);
    rec = {};
    rec.source = "/s";
    TFileSaveReport report;
    EXPECT_EQ(BadFileRestorator::SaveFile("/s", dir / "t", rec.Proc(), nullptr, &report), fscError);
    EXPECT_EQ(disc.TotalReads("/s"), good + 1);
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "t"), Pattern(written));
    ASSERT_FALSE(rec.events.empty());
    EXPECT_EQ(rec.events.back(), "progress src 2048 normal") << "no failed attempt, no end event";
    EXPECT_EQ(report.Error, platform::ReadErrorText(platform::ReadError::Gone));
  }
}

TEST_F(CopierTest, ReportsTheReadPathTheSourceTook) {
  disc.AddFile("/s", "abc");
  disc.SetReadPath(platform::ReadPath::Cache);
  platform::ReadPath path = platform::ReadPath::Direct;
  EXPECT_EQ(BadFileRestorator::SaveFile("/s", dir / "t", nullptr, &path), fscNormal);
  EXPECT_EQ(path, platform::ReadPath::Cache);
}

// --- the list --------------------------------------------------------------------

class CopierListTest : public CopierTest {
 protected:
  TCustomDir root;
  TCustomFileList list;
  void SetUp() override {
    root.SetName("/media/u/D");
    root.SetAttr(0x08);
    auto* a = new TCustomDir(&root);
    a->SetName("a");
    auto* x = new TCustomFile(a);
    x->SetName("x.txt");
    x->SetSize(3);
    auto* y = new TCustomFile(&root);
    y->SetName("y.txt");
    y->SetSize(2);
    disc.AddFile("/media/u/D/a/x.txt", "xxx");
    disc.AddFile("/media/u/D/y.txt", "yy");
    list.Add(x);
    list.Add(y);
  }
};

TEST_F(CopierListTest, EmptyListSendsStartAndEndOnly) {
  TCustomFileList empty;
  EXPECT_EQ(BadFileRestorator::SaveFileList(empty, dir.path(), rec.Proc()), fscNormal);
  EXPECT_EQ(rec.events, (std::vector<std::string>{"startList - 0 normal", "endList - 0 normal"}));
}

TEST_F(CopierListTest, CopiesEachEntryBelowTheTargetFolder) {
  rec.source = "/media/u/D/y.txt";
  EXPECT_EQ(BadFileRestorator::SaveFileList(list, dir / "out", rec.Proc()), fscNormal);
  EXPECT_EQ(testsupport::ReadFileBytes(dir / "out" / "a" / "x.txt"), "xxx");
  EXPECT_EQ(testsupport::ReadFileBytes(dir / "out" / "y.txt"), "yy");
  EXPECT_EQ(rec.events.front(), "startList - 5 normal");
  EXPECT_EQ(rec.events.back(), "endList - 5 normal");
  EXPECT_EQ(rec.events.size(), 2u + 3u + 3u);
}

// A root not marked as a drive has an absolute PathNoDrive; it must land
// below the target folder all the same, never at the absolute path.
TEST_F(CopierListTest, UnmarkedRootStaysBelowTheTargetFolder) {
  root.SetAttr(0);
  EXPECT_EQ(BadFileRestorator::SaveFileList(list, dir / "out", nullptr), fscNormal);
  EXPECT_EQ(testsupport::ReadFileBytes(dir / "out" / "media" / "u" / "D" / "a" / "x.txt"), "xxx");
  EXPECT_EQ(testsupport::ReadFileBytes(dir / "out" / "media" / "u" / "D" / "y.txt"), "yy");
}

TEST_F(CopierListTest, CancelAtStartListCopiesNothing) {
  rec = Answer(fseStartList, 1, fscCancel);
  EXPECT_EQ(BadFileRestorator::SaveFileList(list, dir / "out", rec.Proc()), fscCancel);
  EXPECT_EQ(rec.events, (std::vector<std::string>{"startList - 5 cancel", "endList - 5 cancel"}));
  EXPECT_FALSE(std::filesystem::exists(dir / "out"));
}

TEST_F(CopierListTest, SkipMovesOnAndTheLastResultIsReturned) {
  rec = Answer(fseStartFile, 1, fscSkip);
  EXPECT_EQ(BadFileRestorator::SaveFileList(list, dir / "out", rec.Proc()), fscNormal);
  EXPECT_EQ(std::filesystem::file_size(dir / "out" / "a" / "x.txt"), 0u);
  EXPECT_EQ(testsupport::ReadFileBytes(dir / "out" / "y.txt"), "yy");
}

TEST_F(CopierListTest, EndListIsSentWhenAFolderCannotBeCreated) {
  testsupport::WriteFileBytes(dir / "out", "a file in the way");
  EXPECT_THROW(BadFileRestorator::SaveFileList(list, dir / "out", rec.Proc()),
               CreateDirectoryException);
  EXPECT_EQ(rec.events, (std::vector<std::string>{"startList - 5 normal", "endList - 5 normal"}));
}

// --- 64-bit sizes and full disks ------------------------------------------------

// Counts what would be written without storing it; stores at most `capacity`.
class CountingTargets final : public platform::ITargetCreator {
 public:
  std::int64_t capacity = INT64_MAX;
  std::int64_t written = 0;
  int writes = 0;
  std::string lastBytes;  // of the last write

  std::unique_ptr<platform::ITargetFile> Create(const std::filesystem::path&,
                                                std::string&) override {
    written = 0;
    return std::make_unique<File>(*this);
  }

 private:
  struct File final : platform::ITargetFile {
    explicit File(CountingTargets& owner) : owner_(owner) {}
    std::int64_t Size() const override { return owner_.written; }
    std::int64_t Write(const std::byte* data, std::size_t count) override {
      ++owner_.writes;
      const auto n = std::min<std::int64_t>(static_cast<std::int64_t>(count),
                                            owner_.capacity - owner_.written);
      owner_.lastBytes.assign(reinterpret_cast<const char*>(data), static_cast<std::size_t>(n));
      owner_.written += n;
      return n;
    }
    CountingTargets& owner_;
  };
};

// A source past 4 GiB must be copied whole: a size cut to 32 bits would lose
// everything past the first 512 MiB here.
TEST_F(CopierTest, SourceOfFourAndAHalfGiBIsCopiedWhole) {
  const std::int64_t size = (std::int64_t{9} << 29) + 1000;
  const std::int64_t bad = (std::int64_t{1} << 32) / 2048 + 7;  // a sector past 4 GiB
  disc.AddZeroFile("/big", size, {{bad}});
  CountingTargets targets;
  ScopedRestoratorIo writes(&disc, &targets);
  std::int64_t started = -1, ended = -1, progress = 0;
  int failed = 0;
  const auto result =
      BadFileRestorator::SaveFile("/big", dir / "big",
                                  [&](TFileSaveEventType e, const std::filesystem::path& name,
                                      std::int64_t n, TFileSaveCancelMode&) {
                                    if (e == fseStartFile) started = n;
                                    if (e == fseEndFile) ended = n;
                                    if (e == fseProgress) {
                                      progress += n;
                                      failed += name.empty();
                                    }
                                  });
  EXPECT_EQ(result, fscNormal);
  EXPECT_EQ(started, size);
  EXPECT_EQ(ended, size);
  EXPECT_EQ(progress, size);
  EXPECT_EQ(targets.written, size);
  EXPECT_EQ(failed, 3);
  EXPECT_EQ(disc.Attempts("/big", bad), 3);
  EXPECT_EQ(disc.Attempts("/big", size / 2048), 1);  // the last, partial sector
}

// The same through the system's reader, on a sparse file of the real file
// system whose last bytes are data; the target only counts what it gets.
TEST(CopierOnDisk, SparseSourcePastFourGiBIsReadWhole) {
  TempDir dir;
  const auto source = dir / "big.iso";
  const std::int64_t size = (std::int64_t{9} << 29) + 1000;
  {
    std::ofstream out(source, std::ios::binary);
    out.seekp(size - 1000);
    out << std::string(1000, 'z');
  }
  CountingTargets targets;
  ScopedRestoratorIo io(nullptr, &targets);
  std::int64_t started = -1, progress = 0;
  platform::ReadPath path{};
  const auto result = BadFileRestorator::SaveFile(
      source, dir / "copy",
      [&](TFileSaveEventType e, const std::filesystem::path&, std::int64_t n,
          TFileSaveCancelMode&) {
        if (e == fseStartFile) started = n;
        if (e == fseProgress) progress += n;
      },
      &path);
  std::filesystem::remove(source);
  EXPECT_EQ(result, fscNormal);
  EXPECT_EQ(started, size);
  EXPECT_EQ(progress, size);
  EXPECT_EQ(targets.written, size);
  EXPECT_EQ(targets.lastBytes, std::string(1000, 'z'));
  std::cout << "read path: " << platform::ReadPathText(path) << '\n';
}

TEST_F(CopierTest, ShortWriteEndsTheCopyWithAnError) {
  disc.AddFile("/s", Pattern(10000));
  CountingTargets targets;
  targets.capacity = 3000;
  ScopedRestoratorIo writes(&disc, &targets);
  rec.source = "/s";
  EXPECT_EQ(BadFileRestorator::SaveFile("/s", dir / "t", rec.Proc()), fscError);
  EXPECT_EQ(targets.writes, 2);  // the second write came up short; no third
  EXPECT_EQ(rec.events,
            (std::vector<std::string>{"start src 10000 normal", "progress src 2048 normal"}));
}

// A source file cut short while it is copied: the copy ends with an error
// where the file now ends instead of padding it with zeros to its old size.
TEST(CopierOnDisk, SourceThatShrinksWhileCopiedIsAnError) {
  for (const int runSectors : {1, 32}) {
    SCOPED_TRACE(runSectors);
    ScopedRunSectors runs(runSectors);
    TempDir dir;
    const std::string bytes = Pattern(1 << 20);
    testsupport::WriteFileBytes(dir / "src.bin", bytes);
    TFileSaveReport report;
    int progress = 0;
    const auto result = BadFileRestorator::SaveFile(
        dir / "src.bin", dir / "t.bin",
        [&](TFileSaveEventType e, const std::filesystem::path&, std::int64_t,
            TFileSaveCancelMode&) {
          if (e == fseProgress && ++progress == 1)
            std::filesystem::resize_file(dir / "src.bin", 100000);
        },
        nullptr, &report);
    EXPECT_EQ(result, fscError);
    EXPECT_EQ(report.Error, platform::ReadErrorText(platform::ReadError::Shrunk));
    EXPECT_TRUE(report.ZeroRanges.empty());
    const std::string saved = testsupport::ReadFileBytes(dir / "t.bin");
    EXPECT_LE(saved.size(), 100000u);
    EXPECT_EQ(saved, bytes.substr(0, saved.size()));
  }
}

// A real full file system: a 64 KiB tmpfs.
TEST(CopierOnDisk, FullTargetDiskEndsWithErrorPromptly) {
  TempDir dir;
  const auto mountPoint = dir / "small";
  std::filesystem::create_directory(mountPoint);
  ASSERT_EQ(::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k"), 0)
      << "cannot mount a tmpfs (needs root): " << std::strerror(errno);
  struct Unmount {
    std::filesystem::path p;
    ~Unmount() { ::umount2(p.c_str(), MNT_DETACH); }
  } unmount{mountPoint};
  FaultInjector disc;
  disc.AddFile("/s", Pattern(1 << 20));
  ScopedRestoratorIo io(&disc);
  Recorder rec;
  rec.source = "/s";
  TFileSaveReport report;
  EXPECT_EQ(BadFileRestorator::SaveFile("/s", mountPoint / "t", rec.Proc(), nullptr, &report),
            fscError);
  EXPECT_EQ(report.Error, "cannot write the target file: No space left on device");
  EXPECT_LE(disc.TotalReads("/s"), 64 * 1024 / 2048 + 1);
  ASSERT_FALSE(rec.events.empty());
  EXPECT_EQ(rec.events.back().rfind("end", 0), std::string::npos) << "no end event after an error";
  EXPECT_LE(std::filesystem::file_size(mountPoint / "t"), 64u * 1024u);
}

// A target folder on a read-only file system: each file's error names the
// system's reason, whether the file goes straight into the folder or into a
// folder that must be made first.
TEST(CopierOnDisk, AReadOnlyTargetSaysWhy) {
  TempDir dir;
  const auto mountPoint = dir / "ro";
  std::filesystem::create_directory(mountPoint);
  testsupport::ScopedMount ro({"-t", "tmpfs", "-o", "ro,size=64k", "tmpfs"}, mountPoint);
  ASSERT_TRUE(ro.mounted()) << ro.error();
  FaultInjector disc;
  disc.AddFile("/s", "abc");
  ScopedRestoratorIo io(&disc);
  TFileSaveReport report;
  EXPECT_EQ(BadFileRestorator::SaveFile("/s", mountPoint / "t", nullptr, nullptr, &report),
            fscError);
  EXPECT_EQ(report.Error,
            "cannot create \"" + (mountPoint / "t").string() + "\": Read-only file system");
  try {
    BadFileRestorator::SaveFile("/s", mountPoint / "sub" / "t", nullptr);
    FAIL() << "no exception";
  } catch (const CreateDirectoryException& e) {
    EXPECT_EQ(e.Reason(), "Read-only file system");
    EXPECT_EQ(FailureText(e), std::string(e.what()) + ": Read-only file system");
  }
}

// Two programs saving to one target at once: the one that comes second finds
// the target held, truncates and writes nothing and says why; the file holds
// the first one's bytes alone. Once the first has finished the target is free.
TEST(CopierOnDisk, ATargetAnotherProgramIsWritingIsLeftToIt) {
  TempDir dir;
  const auto target = dir / "t.bin";
  const std::string first = Pattern(6000);
  const std::string second(5000, 'S');
  testsupport::WriteFileBytes(dir / "src.bin", second);
  std::unique_ptr<platform::ITargetFile> held;  // the other program's open target
  const auto write = [&](std::size_t from, std::size_t to) {
    if (held->Write(reinterpret_cast<const std::byte*>(first.data() + from), to - from) !=
        static_cast<std::int64_t>(to - from))
      throw std::runtime_error("short write");
  };
  testsupport::ForkedSteps other(
      [&] {
        std::string error;
        held = platform::SystemTargetCreator().Create(target, error);
        if (!held) throw std::runtime_error(error);
        write(0, 1000);
      },
      [&] {
        write(1000, first.size());
        held.reset();
      });
  ASSERT_TRUE(other.FirstDone());

  TFileSaveReport report;
  EXPECT_EQ(BadFileRestorator::SaveFile(dir / "src.bin", target, nullptr, nullptr, &report),
            fscError);
  EXPECT_EQ(report.Error, "cannot create \"" + target.string() + "\": " + platform::TargetBusyText);
  EXPECT_EQ(testsupport::ReadFileBytes(target), first.substr(0, 1000)) << "neither cut nor grown";

  ASSERT_EQ(other.Finish(), 0);
  EXPECT_TRUE(testsupport::ReadFileBytes(target) == first) << "the first program's bytes alone";
  EXPECT_EQ(BadFileRestorator::SaveFile(dir / "src.bin", target, nullptr), fscNormal);
  EXPECT_EQ(testsupport::ReadFileBytes(target), second);
}

}  // namespace
