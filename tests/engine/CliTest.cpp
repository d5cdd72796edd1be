// velmora-cli scan and copy, run as the user would run them.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "RunProcess.h"
#include "ScopedMount.h"
#include "TempDir.h"

namespace {

using testsupport::RunProcess;
using testsupport::TempDir;

std::string Cli() { return (testsupport::BinDir() / "velmora-cli").string(); }

TEST(CliScan, PrintsTheTreeFoldersFirst) {
  TempDir dir;
  std::filesystem::create_directories(dir / "disc" / "A");
  testsupport::WriteFileBytes(dir / "disc" / "A" / "a.txt", "12345");
  testsupport::WriteFileBytes(dir / "disc" / "z.txt", "123");
  const auto r = RunProcess({Cli(), "scan", (dir / "disc").string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, (dir / "disc").string() +
                       "\t3\t0x8\n"
                       "  A\t5\t0x10\n"
                       "    a.txt\t5\t0x20\n"
                       "  z.txt\t3\t0x20\n");
}

// Names that would break the one-line-per-entry output or pass for
// indentation print escaped; every row holds the folder "A" with one file.
struct CliScanNameRow {
  const char* name;
  std::string fileName;
  std::string shown;
};

void PrintTo(const CliScanNameRow& row, std::ostream* os) { *os << row.name; }

class CliScanNames : public testing::TestWithParam<CliScanNameRow> {};

TEST_P(CliScanNames, AreEscaped) {
  const auto& row = GetParam();
  TempDir dir;
  std::filesystem::create_directories(dir / "disc" / "A");
  testsupport::WriteFileBytes(dir / "disc" / "A" / row.fileName, "12");
  const auto r = RunProcess({Cli(), "scan", (dir / "disc").string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, (dir / "disc").string() +
                       "\t0\t0x8\n"
                       "  A\t2\t0x10\n"
                       "    " +
                       row.shown + "\t2\t0x20\n");
}

INSTANTIATE_TEST_SUITE_P(Names, CliScanNames,
                         testing::Values(CliScanNameRow{"newline", "two\nlines", "two\\nlines"},
                                         CliScanNameRow{"tab", "a\tb", "a\\tb"},
                                         CliScanNameRow{"carriage_return", "a\rb", "a\\rb"},
                                         CliScanNameRow{"backslash", "C:\\x41", "C:\\\\x41"},
                                         CliScanNameRow{"leading_blanks", "  sp", "\\x20 sp"},
                                         CliScanNameRow{"inner_blanks_stay", "a  b ", "a  b "},
                                         CliScanNameRow{"escape_and_delete", "\x1b[2J\x7f",
                                                        "\\x1B[2J\\x7F"},
                                         CliScanNameRow{"c1_control", "a\xc2\x85z", "a\\xC2\\x85z"},
                                         CliScanNameRow{"not_utf8", "caf\xe9", "caf\\xE9"},
                                         CliScanNameRow{"utf8_stays", "диск ž", "диск ž"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A tree 5000 levels deep (paths far past 4096 bytes) is printed whole.
TEST(CliScan, PrintsATreeDeeperThanTheLongestPath) {
  constexpr int kDepth = 5000;
  TempDir dir;
  testsupport::MakeNestedFolders(dir.path(), kDepth, "d");
  const auto r = RunProcess({Cli(), "scan", dir.path().string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::size_t lines = 0, last = 0;
  for (std::size_t p = 0; (p = r.out.find('\n', p)) != std::string::npos; ++p) {
    ++lines;
    if (p + 1 < r.out.size()) last = p + 1;
  }
  EXPECT_EQ(lines, kDepth + 1u);
  EXPECT_EQ(r.out.substr(last), std::string(2 * kDepth, ' ') + "d\t0\t0x10\n");
}

TEST(CliScan, MissingFolderFails) {
  TempDir dir;
  const auto r = RunProcess({Cli(), "scan", (dir / "none").string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("not a folder"), std::string::npos) << r.err;
}

struct CliCopyRow {
  const char* name;
  bool sourceExists;
  bool events;
  int exitCode;
  std::string out;  // "$S" stands for the source path, "$P" for the read path line
};

void PrintTo(const CliCopyRow& row, std::ostream* os) { *os << row.name; }

class CliCopy : public testing::TestWithParam<CliCopyRow> {};

TEST_P(CliCopy, OutcomeAndEvents) {
  const auto& row = GetParam();
  TempDir dir;
  const auto source = dir / "src.bin";
  if (row.sourceExists) testsupport::WriteFileBytes(source, std::string(3000, 'q'));
  const auto target = dir / "out" / "copy.bin";
  std::vector<std::string> argv = {Cli(), "copy", source.string(), target.string()};
  if (row.events) argv.push_back("--events");
  const auto r = RunProcess(argv);
  EXPECT_EQ(r.exitCode, row.exitCode) << r.err;
  std::string expected = row.out;
  for (std::size_t p; (p = expected.find("$S")) != std::string::npos;)
    expected.replace(p, 2, source.string());
  // The read path depends on the file system the temporary folder is on.
  std::string out = r.out;
  const auto pathLine = out.find("read path\t");
  if (pathLine != std::string::npos)
    out.replace(pathLine, out.find('\n', pathLine) - pathLine, "$P");
  EXPECT_EQ(out, expected);
  // A source that cannot be opened creates no target.
  ASSERT_EQ(std::filesystem::exists(target), row.sourceExists);
  if (row.sourceExists) {
    EXPECT_EQ(std::filesystem::file_size(target), 3000u);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, CliCopy,
                         testing::Values(CliCopyRow{"SavedQuietly", true, false, 0, "saved\n"},
                                         CliCopyRow{"SavedWithEvents", true, true, 0,
                                                    "fseStartFile\t$S\t3000\tfscNormal\n"
                                                    "fseProgress\t$S\t2048\tfscNormal\n"
                                                    "fseProgress\t$S\t952\tfscNormal\n"
                                                    "fseEndFile\t$S\t3000\tfscNormal\n"
                                                    "$P\n"
                                                    "saved\n"},
                                         CliCopyRow{"MissingSourceIsNotSavedWithoutEvents", false,
                                                    true, 1, "not saved\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

// --map names a file the copy must not lose, or one that is no map: the copy
// is refused before anything is written ("not saved", exit status 1, the
// reason on standard error), and every file of the folder stays as it was.
// The source src.bin holds 5000 "q"; the target, when it exists, 5000 "k",
// so that an existing map of 5000 bytes reads the copy again.
enum class MapKind { Missing, Text, Fifo, Folder, Huge, Unrenamable };

struct MapRefusalRow {
  const char* name;
  std::string map;  // the --map argument below the folder
  MapKind kind;
  std::string text = "";  // of a Text or Unrenamable map
  std::string target = "out.bin";
  bool targetExists = true;
  bool device = false;  // src.bin is the disc image given with --device
  std::string reason;   // in the message on standard error
};

void PrintTo(const MapRefusalRow& row, std::ostream* os) { *os << row.name; }

class CliCopyMapRefuses : public testing::TestWithParam<MapRefusalRow> {};

// Type, size and (for files up to 1 MiB) bytes of each entry of `dir`.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& dir) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const auto status = entry.symlink_status();
    std::string shown = std::to_string(static_cast<int>(status.type()));
    if (status.type() == std::filesystem::file_type::regular) {
      const auto size = entry.file_size();
      shown += " " + std::to_string(size);
      if (size <= (1u << 20)) shown += " " + testsupport::ReadFileBytes(entry.path());
    }
    entries[entry.path().filename().string()] = shown;
  }
  return entries;
}

TEST_P(CliCopyMapRefuses, BeforeAnythingIsWritten) {
  const auto& row = GetParam();
  TempDir dir, aside;
  testsupport::IsolatedHome home;
  testsupport::WriteFileBytes(dir / "src.bin", std::string(5000, 'q'));
  std::filesystem::create_hard_link(dir / "src.bin", dir / "hard.bin");
  std::filesystem::create_directory(dir / "sub");
  if (row.targetExists) testsupport::WriteFileBytes(dir / row.target, std::string(5000, 'k'));
  const auto map = dir / row.map;
  std::optional<testsupport::ScopedMount> mount;
  switch (row.kind) {
    case MapKind::Missing:
      break;
    case MapKind::Text:
      testsupport::WriteFileBytes(map, row.text);
      break;
    case MapKind::Fifo:
      ASSERT_EQ(::mkfifo(map.c_str(), 0600), 0);
      break;
    case MapKind::Folder:
      std::filesystem::create_directory(map);
      break;
    case MapKind::Huge:
      testsupport::WriteFileBytes(map, "");
      std::filesystem::resize_file(map, (64u << 20) + 1);
      break;
    case MapKind::Unrenamable:
      // A file mounted over the map: renaming onto a mount point fails.
      testsupport::WriteFileBytes(map, row.text);
      testsupport::WriteFileBytes(aside / "map", row.text);
      mount.emplace(std::vector<std::string>{"--bind", (aside / "map").string()}, map);
      ASSERT_TRUE(mount->mounted())
          << "cannot bind-mount (the test needs root): " << mount->error();
      break;
  }
  const auto before = Snapshot(dir.path());

  // A map that blocked the tool would end it here, and the row would fail.
  std::vector<std::string> argv = {"timeout", "60", Cli(), "copy"};
  if (row.device) argv.insert(argv.end(), {"--device", (dir / "src.bin").string(), "/f.bin"});
  if (!row.device) argv.push_back((dir / "src.bin").string());
  argv.insert(argv.end(), {(dir / row.target).string(), "--map", map.string()});
  const auto r = RunProcess(argv);

  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(r.out, "not saved\n");
  EXPECT_NE(r.err.find(row.reason), std::string::npos) << r.err;
  EXPECT_LT(r.err.size(), 400u) << "the message quotes at most the start of a bad line";
  EXPECT_EQ(Snapshot(dir.path()), before) << "the source, the target and the map stay as they were";
}

const std::string kMapHeader = "# Mapfile\n0x0 + 1\n#  pos  size  status\n";

INSTANTIATE_TEST_SUITE_P(
    Table, CliCopyMapRefuses,
    testing::Values(
        MapRefusalRow{.name = "MapIsTheTarget",
                      .map = "out.bin",
                      .kind = MapKind::Missing,
                      .reason = "/out.bin\" is the target file itself"},
        MapRefusalRow{.name = "MapIsTheTargetYetToBeWritten",
                      .map = "new.bin",
                      .kind = MapKind::Missing,
                      .target = "new.bin",
                      .targetExists = false,
                      .reason = "is the target file itself"},
        MapRefusalRow{.name = "MapIsTheTargetYetToBeWrittenByAnotherPath",
                      .map = "sub/../new.bin",
                      .kind = MapKind::Missing,
                      .target = "./new.bin",
                      .targetExists = false,
                      .reason = "is the target file itself"},
        MapRefusalRow{.name = "MapIsTheSource",
                      .map = "src.bin",
                      .kind = MapKind::Missing,
                      .targetExists = false,
                      .reason = "/src.bin\" is the source file itself"},
        MapRefusalRow{.name = "MapIsAHardLinkOfTheSource",
                      .map = "hard.bin",
                      .kind = MapKind::Missing,
                      .targetExists = false,
                      .reason = "is the source file itself"},
        MapRefusalRow{.name = "MapIsTheDiscImageOfTheSource",
                      .map = "src.bin",
                      .kind = MapKind::Missing,
                      .targetExists = false,
                      .device = true,
                      .reason = "/src.bin\" is the source file itself"},
        MapRefusalRow{.name = "MapsTemporaryFileIsTheTarget",
                      .map = "m.map",
                      .kind = MapKind::Missing,
                      .target = "m.map.new",
                      .targetExists = false,
                      .reason = "the map's temporary file"},
        MapRefusalRow{.name = "FifoBeforeARetry",
                      .map = "m.map",
                      .kind = MapKind::Fifo,
                      .reason = "/m.map\" is not a regular file"},
        MapRefusalRow{.name = "FifoBeforeAFirstCopy",
                      .map = "m.map",
                      .kind = MapKind::Fifo,
                      .targetExists = false,
                      .reason = "is not a regular file"},
        MapRefusalRow{.name = "Folder",
                      .map = "m.map",
                      .kind = MapKind::Folder,
                      .reason = "is not a regular file"},
        MapRefusalRow{.name = "Huge",
                      .map = "m.map",
                      .kind = MapKind::Huge,
                      .reason = "/m.map\" is larger than 64 MiB"},
        MapRefusalRow{.name = "BlockEndingPastTheLargestPosition",
                      .map = "m.map",
                      .kind = MapKind::Text,
                      .text = kMapHeader + "0x0 0x7FFFFFFFFFFFFFFF +\n0x7FFFFFFFFFFFFFFF 0x10 -\n",
                      .reason = "the block ends past the largest file size"},
        MapRefusalRow{.name = "NumberPast64Bits",
                      .map = "m.map",
                      .kind = MapKind::Text,
                      .text = kMapHeader + "0x0 0x1388 +\n0x1388 0xFFFFFFFFFFFFFFFFF -\n",
                      .reason = "the block ends past the largest file size"},
        MapRefusalRow{.name = "JunkAfterABlock",
                      .map = "m.map",
                      .kind = MapKind::Text,
                      .text = kMapHeader + "0x0 0x1388 + junk\n",
                      .reason = "line 4 is no mapfile block: \"0x0 0x1388 + junk\""},
        MapRefusalRow{.name = "HugeBadLine",
                      .map = "m.map",
                      .kind = MapKind::Text,
                      .text = kMapHeader + std::string(1 << 20, 'x'),
                      .reason = "block: \"" + std::string(80, 'x') + "\"...\n"},
        MapRefusalRow{.name = "Empty",
                      .map = "m.map",
                      .kind = MapKind::Text,
                      .text = "",
                      .reason = "/m.map\" is empty"},
        MapRefusalRow{.name = "RenameFails",
                      .map = "m.map",
                      .kind = MapKind::Unrenamable,
                      .text = kMapHeader + "0x0 0x1388 +\n",
                      .reason = "cannot write the map"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
