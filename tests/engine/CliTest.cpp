// velmora-cli scan and copy, run as the user would run them.

#include <gtest/gtest.h>

#include "RunProcess.h"
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

}  // namespace
