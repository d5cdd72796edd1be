// The launcher's report texts as they reach "Err.log" and the message box.

#include <gtest/gtest.h>

#include "ErrLog.h"
#include "RecordingBox.h"
#include "TempDir.h"
#include "launcher/UTLauncherErrorMessage.h"

namespace {

using launchertest::RecordingBox;

struct MessageCase {
  const char* name;
  TErrorDisplayStatus status;
  TAppId app;
  std::uint16_t code;
  const char* message;
  const char* logText;
  const char* shown;  // nullptr: nothing shown
};
void PrintTo(const MessageCase& row, std::ostream* out) { *out << row.name; }

class LauncherMessageTest : public ::testing::TestWithParam<MessageCase> {
 protected:
  void SetUp() override {
    ProductDataFolder = (home_.home() / "data/Velmora Free").string();
    InstallLauncherErrorMessage();
    SetMessageBox(&box_);
  }
  void TearDown() override {
    SetMessageBox(nullptr);
    InstallCommonErrorMessage(std::make_unique<TCommonErrorMessage>());
  }
  testsupport::IsolatedHome home_;
  RecordingBox box_;
};

TEST_P(LauncherMessageTest, LogsAndShowsTheLaunchersText) {
  const MessageCase& c = GetParam();
  WriteErrorMessage(c.status, c.app, c.code, c.message);
  const auto lines = testsupport::ErrLogLines(std::filesystem::path(ProductDataFolder) / "Err.log");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(testsupport::ReportText(lines[0]), c.logText);
  if (c.shown) {
    EXPECT_EQ(box_.shown, std::vector<std::string>{c.shown});
  } else {
    EXPECT_TRUE(box_.shown.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Reports, LauncherMessageTest,
    ::testing::Values(
        MessageCase{"MainFormError", edsSilent, AID_Launcher, 1, "EDownloadError : x",
                    ":0001 [MainForm Error]: EDownloadError : x", nullptr},
        MessageCase{"BothSettingsFilesAbsent", edsSilent, AID_Launcher, 2, "\"a\" and \"b\"",
                    ":0002 Both settings files \"a\" and \"b\" absent. The process terminated.",
                    nullptr},
        MessageCase{"SetupProcess", edsError, AID_Launcher, 3, "E FileName = \"s\"",
                    ":0003 Could not create setup process. E FileName = \"s\"",
                    "Could not create setup process. E FileName = \"s\""},
        MessageCase{"MainProgramProcess", edsError, AID_Launcher, 4, "E FileName = \"m\"",
                    ":0004 Could not create Velmora Free process. E FileName = \"m\"",
                    "Could not create Velmora Free process. E FileName = \"m\""},
        MessageCase{"OtherCodeIsTheMessageAlone", edsSilent, AID_Launcher, 9, "as is",
                    ":0009 as is", nullptr},
        MessageCase{"CommonIdKeepsTheCommonTexts", edsSilent, AID_Common_Forms, 1, "[GetStrValue]",
                    "Common_Forms:0001 [GetStrValue]", nullptr},
        MessageCase{"MainProgramIdIsRejected", edsError, AID_Velmora_Free, 1, "x",
                    "Error message system tries to write message with invalid application ID. "
                    "AppName = Velmora_Free.",
                    nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
