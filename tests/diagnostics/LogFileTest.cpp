#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "TempDir.h"
#include "diagnostics/uMAVLogFile.h"
#include "platform/Files.h"

namespace {

using testsupport::TempDir;

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  for (;;) {
    const auto end = text.find("\r\n", pos);
    if (end == std::string::npos) {
      lines.push_back(text.substr(pos));
      return lines;
    }
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
}

// ---- The record's layout for messages of every shape of line break.

struct RecordCase {
  const char* name;
  std::string message;
  std::vector<std::string> lines;  // the message lines as the record holds them
};

// Test names show the row name, not the row's bytes.
void PrintTo(const RecordCase& row, std::ostream* os) { *os << row.name; }

class LogRecordLayout : public testing::TestWithParam<RecordCase> {};

TEST_P(LogRecordLayout, EmptyLineStampIndentedLinesEmptyLine) {
  const auto& row = GetParam();
  std::string expected = "\r\n[09/12/2026 22:47:02] \r\n";
  for (const auto& line : row.lines) expected += line + "\r\n";
  expected += "\r\n";
  EXPECT_EQ(BuildLogRecord("09/12/2026 22:47:02", row.message), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, LogRecordLayout,
    testing::Values(
        RecordCase{"OneLineGivesFourLineRecord",
                   "Drive E: is not available.",
                   {"  Drive E: is not available."}},
        RecordCase{"TrailingCrLfAddsNoLine", "first\r\nsecond\r\n", {"  first", "  second"}},
        RecordCase{
            "EmptyMiddleLineKeptAsTwoBlanks", "first\r\n\r\nthird", {"  first", "  ", "  third"}},
        RecordCase{"LoneLfBreaks", "a\nb\n", {"  a", "  b"}},
        RecordCase{"LoneCrBreaks", "a\rb\r", {"  a", "  b"}},
        RecordCase{"LfThenCrIsTwoBreaks", "a\n\rb", {"  a", "  ", "  b"}},
        RecordCase{"OnlyABreakIsOneEmptyLine", "\r\n", {"  "}},
        RecordCase{"EmptyMessageHasNoLines", "", {}},
        RecordCase{"ErrorWithTrail",
                   "Drive E: is not available.\r\nTMForm.ProcessScan(Drive=E; )\r\n",
                   {"  Drive E: is not available.", "  TMForm.ProcessScan(Drive=E; )"}},
        RecordCase{"Utf8TextPassesUnchanged",
                   "Fehler: \xC3\x9C"
                   "bertragung",
                   {"  Fehler: \xC3\x9C"
                    "bertragung"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Writing to the file.

TEST(LogMessage, AppendsRecordsAfterExistingContent) {
  TempDir dir;
  const auto file = dir / "Err.log";
  testsupport::WriteFileBytes(file, "older line\r\n");
  TMAVLogFile log(file);
  log.LogMessage("first");
  log.LogMessage("second\r\nline two");

  const auto lines = SplitCrLf(testsupport::ReadFileBytes(file));
  ASSERT_EQ(lines.size(), 11u) << testsupport::ReadFileBytes(file);
  EXPECT_EQ(lines[0], "older line");
  // Each record: empty line, "[stamp] ", the indented message, empty line.
  for (std::size_t at : {1u, 5u}) {
    EXPECT_EQ(lines[at], "");
    ASSERT_GE(lines[at + 1].size(), 4u);
    EXPECT_EQ(lines[at + 1].front(), '[');
    EXPECT_EQ(lines[at + 1].substr(lines[at + 1].size() - 2), "] ");
  }
  EXPECT_EQ(lines[3], "  first");
  EXPECT_EQ(lines[4], "");
  EXPECT_EQ(lines[7], "  second");
  EXPECT_EQ(lines[8], "  line two");
  EXPECT_EQ(lines[9], "");
  EXPECT_EQ(lines[10], "");  // after the file's last CR LF
}

TEST(LogMessage, CreatesMissingFile) {
  TempDir dir;
  TMAVLogFile log(dir / "Err.log");
  log.LogMessage("x");
  EXPECT_TRUE(platform::FileExists(dir / "Err.log"));
}

TEST(LogMessage, MissingFoldersAreCreatedAndTheRecordKept) {
  TempDir dir;  // a fresh account: no data folder yet, nor its parent
  const auto file = dir / "share" / "Velmora Free" / "Err.log";
  TMAVLogFile log(file);
  log.LogMessage("kept");
  EXPECT_NE(testsupport::ReadFileBytes(file).find("  kept\r\n"), std::string::npos);
}

TEST(LogMessage, UnwritableTargetLosesRecordQuietly) {
  TempDir dir;
  std::filesystem::create_directory(dir / "Err.log");  // a folder where the file should be
  TMAVLogFile log(dir / "Err.log");
  log.LogMessage("lost");
  EXPECT_TRUE(std::filesystem::is_directory(dir / "Err.log"));
}

TEST(LogMessage, FileNameCanBeRepointed) {
  TempDir dir;
  TMAVLogFile log(dir / "first.log");
  log.SetFileName(dir / "Err.log");
  EXPECT_EQ(log.FileName(), dir / "Err.log");
  log.LogMessage("x");
  EXPECT_FALSE(std::filesystem::exists(dir / "first.log"));
  EXPECT_TRUE(platform::FileExists(dir / "Err.log"));
}

TEST(ClearLog, DeletesFileAndToleratesMissingOne) {
  TempDir dir;
  TMAVLogFile log(dir / "Err.log");
  log.LogMessage("x");
  log.ClearLog();
  EXPECT_FALSE(std::filesystem::exists(dir / "Err.log"));
  log.ClearLog();
}

TEST(LogFileInstance, StartsAsProgramPathWithLogExtension) {
  auto expected = platform::SelfExecutablePath();
  expected.replace_extension(".log");
  EXPECT_EQ(LogFile().FileName(), expected);
  EXPECT_EQ(&LogFile(), &LogFile());
}

// Two programs append to the same error log: every record must arrive, and
// none may be torn by the other writer's lines.
TEST(LogMessage, RecordsOfTwoProcessesAppendingAtOnceAreAllWhole) {
  TempDir dir;
  const auto file = dir / "Err.log";
  constexpr int kRecords = 300;
  const std::string payload(1500, 'x');
  pid_t children[2];
  for (int w = 0; w < 2; ++w) {
    children[w] = ::fork();
    ASSERT_GE(children[w], 0);
    if (children[w] == 0) {
      TMAVLogFile log(file);
      for (int r = 0; r < kRecords; ++r) {
        const std::string id = "w" + std::to_string(w) + " r" + std::to_string(r);
        log.LogMessage(id + " a " + payload + "\r\n" + id + " b " + payload + "\r\n" + id + " c");
      }
      ::_exit(0);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  const auto lines = SplitCrLf(testsupport::ReadFileBytes(file));
  std::set<std::string> seen;
  std::size_t at = 0;
  while (at + 1 < lines.size()) {
    ASSERT_LE(at + 6, lines.size()) << "a record is cut short at line " << at;
    ASSERT_EQ(lines[at], "") << "line " << at;
    ASSERT_EQ(lines[at + 1].front(), '[') << "line " << at + 1;
    const std::string id = lines[at + 2].substr(2, lines[at + 2].find(" a ") - 2);
    ASSERT_EQ(lines[at + 2], "  " + id + " a " + payload) << "line " << at + 2;
    ASSERT_EQ(lines[at + 3], "  " + id + " b " + payload) << "line " << at + 3;
    ASSERT_EQ(lines[at + 4], "  " + id + " c") << "line " << at + 4;
    ASSERT_EQ(lines[at + 5], "") << "line " << at + 5;
    EXPECT_TRUE(seen.insert(id).second) << id << " twice";
    at += 6;
  }
  EXPECT_EQ(seen.size(), 2u * kRecords);
}

}  // namespace
