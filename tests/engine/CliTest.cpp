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
