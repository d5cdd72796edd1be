#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <set>

#include "ErrLog.h"
#include "RunProcess.h"
#include "TempDir.h"
#include "support/TextCodec.h"
#include "support/uCDErrorMessage.h"
#include "support/uFunctions.h"

namespace {

using testsupport::ErrLogLines;
using testsupport::ReportText;

// Records what would have been shown and answers with a chosen button.
class RecordingBox : public IMessageBox {
 public:
  int Show(TErrorDisplayStatus aStatus, const std::string& aText) override {
    shown.push_back({aStatus, aText});
    return answer;
  }
  std::vector<std::pair<TErrorDisplayStatus, std::string>> shown;
  int answer = mrOk;
};

// The launcher's message class accepts its own id, which has no name.
class LauncherLikeMessage : public TCommonErrorMessage {
 public:
  bool SetMessage(TErrorDisplayStatus aStatus, TAppId anApp, std::uint16_t anErrorCode,
                  const std::string& Msg) override {
    return TCommonErrorMessage::SetMessage(aStatus, anApp, anErrorCode, Msg) ||
           anApp == AID_Launcher;
  }
};

enum class Program { Library, Main, Launcher };

class ErrorMessageFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ProductDataFolder = (home_.home() / "data/Velmora Free").string();
    SetMessageBox(&box_);
  }
  void TearDown() override {
    SetMessageBox(nullptr);
    InstallCommonErrorMessage(std::make_unique<TCommonErrorMessage>());
    ProductDataFolder.clear();
  }
  static void Install(Program program) {
    if (program == Program::Main) InstallCDErrorMessage();
    if (program == Program::Launcher)
      InstallCommonErrorMessage(std::make_unique<LauncherLikeMessage>());
  }
  std::filesystem::path LogFile() const {
    return std::filesystem::path(ProductDataFolder) / "Err.log";
  }

  testsupport::IsolatedHome home_;
  RecordingBox box_;
};

struct ReportCase {
  const char* name;
  Program program;
  TErrorDisplayStatus status;
  TAppId app;
  std::uint16_t code;
  const char* message;
  const char* expectedLogText;
  bool shown;
  const char* expectedDisplay;
  int answer;
  int expectedResult;
};

// Rows show as their names in test output.
void PrintTo(const ReportCase& row, std::ostream* out) { *out << row.name; }

class WriteErrorMessageTest : public ErrorMessageFixture,
                              public ::testing::WithParamInterface<ReportCase> {};

TEST_P(WriteErrorMessageTest, LogsThenShowsAsTheStatusSays) {
  const ReportCase& c = GetParam();
  Install(c.program);
  box_.answer = c.answer;
  EXPECT_EQ(WriteErrorMessage(c.status, c.app, c.code, c.message), c.expectedResult);
  const auto lines = ErrLogLines(LogFile());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(ReportText(lines[0]), c.expectedLogText);
  if (c.shown) {
    ASSERT_EQ(box_.shown.size(), 1u);
    EXPECT_EQ(box_.shown[0].first, c.status);
    EXPECT_EQ(box_.shown[0].second, c.expectedDisplay);
  } else {
    EXPECT_TRUE(box_.shown.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Reports, WriteErrorMessageTest,
    ::testing::Values(
        ReportCase{"SilentLibraryReportKeepsTheTextsLeadingBlank", Program::Main, edsSilent,
                   AID_Common_Forms, 1, " r.03004_int", "Common_Forms:0001  r.03004_int", false, "",
                   mrOk, mrNone},
        ReportCase{"UnknownCodeLogsATrailingBlankAndShowsAnEmptyBox", Program::Library, edsError,
                   AID_Common_Forms, 255, "ignored", "Common_Forms:00FF ", true, "", mrOk, mrOk},
        ReportCase{"CopyFileCode", Program::Library, edsSilent, AID_Common_Components, 5, "a.txt",
                   "Common_Components:0005 [Copy File]a.txt", false, "", mrOk, mrNone},
        ReportCase{"MissingFileCodeHasNoBlankAfterTheQuote", Program::Library, edsWarning,
                   AID_Common_Forms, 6, "a.txt", "Common_Forms:0006 File \"a.txt\"does not exists!",
                   true, "File \"a.txt\"does not exists!", mrOk, mrOk},
        ReportCase{
            "SameFoldersCodeIgnoresTheText", Program::Library, edsInformation, AID_Common_Forms, 8,
            "x",
            "Common_Forms:0008 Unable to copy file. Source and destination folders do coincide!",
            true, "Unable to copy file. Source and destination folders do coincide!", mrOk, mrOk},
        ReportCase{
            "LauncherIdIsRejectedInTheMainProgram", Program::Main, edsError, AID_Launcher, 4,
            "boom",
            "Error message system tries to write message with invalid application ID. AppName = .",
            false, "", mrOk, mrNone},
        ReportCase{
            "MainProgramIdIsRejectedByTheLibraryClass", Program::Library, edsError,
            AID_Velmora_Free, 2, "boom",
            "Error message system tries to write message with invalid application ID. AppName = "
            "Velmora_Free.",
            false, "", mrOk, mrNone},
        ReportCase{"MainProgramIdShowsItsText", Program::Main, edsWarning, AID_Velmora_Free, 2,
                   "Drive lost", "Velmora_Free:0002 Drive lost", true, "Drive lost", mrOk, mrOk},
        ReportCase{"MainProgramIdWithCodeOneShowsNothingButAnEmptyBox", Program::Main, edsError,
                   AID_Velmora_Free, 1, "text", "Velmora_Free:0001 ", true, "", mrOk, mrOk},
        ReportCase{"LauncherIdHasNoName", Program::Launcher, edsSilent, AID_Launcher, 4, "x",
                   ":0004 ", false, "", mrOk, mrNone},
        ReportCase{"ConfirmationAnsweredYes", Program::Library, edsConfirmation, AID_Common_Forms,
                   1, "Go on?", "Common_Forms:0001 Go on?", true, "Go on?", mrYes, mrYes},
        ReportCase{"ConfirmationAnsweredNo", Program::Library, edsConfirmation, AID_Common_Forms, 1,
                   "Go on?", "Common_Forms:0001 Go on?", true, "Go on?", mrNo, mrNo}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(ErrorMessageFixture, CantOpenFileNamesTheOperatingSystem) {
  WriteErrorMessage(edsSilent, AID_Common_Forms, 7, "a.txt");
  const auto lines = ErrLogLines(LogFile());
  ASSERT_EQ(lines.size(), 1u);
  // The system's name as the shell reads it from os-release, not through
  // the code under test.
  const auto os = testsupport::RunProcess(
      {"sh", "-c",
       "for f in /etc/os-release /usr/lib/os-release; do [ -r $f ] && . $f && break; done; "
       "printf %s \"$PRETTY_NAME\""});
  ASSERT_EQ(os.exitCode, 0);
  EXPECT_EQ(ReportText(lines[0]), "Common_Forms:0007 Can't open file : a.txt" + os.out);
}

// The first report creates the folder and a file that starts with the date
// text's UTF-16 code units: no byte-order mark. (The date text itself is
// tested under several locales with the platform layer.)
TEST_F(ErrorMessageFixture, FirstReportWritesUtf16LeWithoutByteOrderMark) {
  ASSERT_FALSE(std::filesystem::exists(ProductDataFolder));
  WriteErrorMessage(edsSilent, AID_Common_Forms, 1, " r.03004_int");
  WriteErrorMessage(edsSilent, AID_Common_Forms, 1, "Grüße €");
  const std::string bytes = testsupport::ReadFileBytes(LogFile());
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_NE(bytes.substr(0, 2), std::string("\xFF\xFE"));
  const auto lines = ErrLogLines(LogFile());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(bytes, support::Utf8ToUtf16LE(lines[0] + "\r\n" + lines[1] + "\r\n"));
  const std::string tail(
      "C\0o\0m\0m\0o\0n\0_\0F\0o\0r\0m\0s\0:\0"
      "0\0"
      "0\0"
      "0\0"
      "1\0 \0 \0r\0",
      38);
  EXPECT_NE(bytes.find(tail), std::string::npos);
  EXPECT_EQ(bytes.substr(bytes.size() - 8), std::string(" \0\xAC\x20\r\0\n\0", 8));
  EXPECT_EQ(ReportText(lines[1]), "Common_Forms:0001 Grüße €");
}

// Two programs reporting at the same moment lose no line.
TEST_F(ErrorMessageFixture, TwoProcessesReportingAtOnceLoseNothing) {
  constexpr int kReports = 300;
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      for (int i = 0; i < kReports; ++i)
        WriteErrorMessage(edsSilent, AID_Common_Forms, 1,
                          std::to_string(c) + ":" + std::to_string(i));
      ::_exit(0);
    }
  }
  for (pid_t child : children) ::waitpid(child, nullptr, 0);
  std::set<std::string> texts;
  for (const auto& line : ErrLogLines(LogFile())) texts.insert(ReportText(line));
  EXPECT_EQ(texts.size(), 2u * kReports);
}

TEST_F(ErrorMessageFixture, UnwritableLogLosesTheLineButStillShowsTheBox) {
  testsupport::WriteFileBytes(home_.home() / "data", "a file where the folder should be");
  EXPECT_EQ(WriteErrorMessage(edsError, AID_Common_Forms, 1, "shown anyway"), mrOk);
  EXPECT_EQ(box_.shown.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(LogFile()));
}

}  // namespace
