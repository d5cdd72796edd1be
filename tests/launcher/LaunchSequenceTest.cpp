// The launch sequence against a real HTTPS site on 127.0.0.1: the update
// offer, the fall-back copies of the settings archive, the installer download
// and the programs started.

#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

#include "ArchiveMaker.h"
#include "ErrLog.h"
#include "RecordingBox.h"
#include "TempDir.h"
#include "TestSite.h"
#include "launcher/SettingsArchive.h"
#include "launcher/UTLauncherErrorMessage.h"
#include "launcher/uMain.h"
#include "platform/RegistryStore.h"
#include "support/uWorkWithRegistry.h"

namespace {

namespace fs = std::filesystem;
using launchertest::RecordingBox;
using launchertest::TestSite;
using launchertest::WaitForStart;

std::string SettingsArchive(const std::string& version, const std::string& setupUrl,
                            const std::string& product = "Velmora Free") {
  return launchertest::ZipWithPassword(
      {{"settings.xml", launchertest::SettingsXml(version, setupUrl, product)}},
      launcher::kSettingsPassword);
}

const char* const kQuestion =
    "New version of Velmora Free available.\r\nWould you like to download and install it now?";

class LaunchSequence : public ::testing::Test {
 protected:
  void SetUp() override {
    ProductDataFolder = data_.string();
    InstallLauncherErrorMessage();
    SetMessageBox(&errors_);
    RegistryUtils::SetStrValue("\\Software\\Velmora Free", "InstallPath", install_.string());
    fs::create_directories(install_);
    fs::create_directories(launcherFolder_);
  }
  void TearDown() override {
    SetMessageBox(nullptr);
    InstallCommonErrorMessage(std::make_unique<TCommonErrorMessage>());
  }

  // The installed main program: version 2.0.0.0 (the stand-in's version note).
  void InstallMainProgram() { fs::copy_file(launchertest::RecordStartProgram(), MainProgram()); }
  fs::path MainProgram() const { return install_ / "VelmoraFree"; }

  // Runs the sequence once, as the timer's tick does; true when it finished.
  bool Run(const std::string& settingsUrl) {
    const auto form = MakeForm(settingsUrl);
    bool finished = false;
    QObject::connect(form.get(), &TfMain::Finished, form.get(), [&] { finished = true; });
    form->Timer1Timer();
    return finished;
  }
  // The launcher window for this test's home, trusting the test authority.
  std::unique_ptr<TfMain> MakeForm(const std::string& settingsUrl) {
    return std::make_unique<TfMain>(
        TLauncherSetup{.SettingsUrl = QUrl(QString::fromStdString(settingsUrl)),
                       .TrustedCAs = TestSite::TrustedCAs(),
                       .LauncherFolder = launcherFolder_,
                       .DataFolder = data_},
        &question_);
  }

  std::vector<std::string> LogTexts() const {
    std::vector<std::string> texts;
    if (!fs::exists(data_ / "Err.log")) return texts;
    for (const std::string& line : testsupport::ErrLogLines(data_ / "Err.log")) {
      texts.push_back(testsupport::ReportText(line));
    }
    return texts;
  }
  bool Logged(const std::string& part) const {
    for (const std::string& text : LogTexts()) {
      if (text.find(part) != std::string::npos) return true;
    }
    return false;
  }

  testsupport::IsolatedHome home_;
  const fs::path data_ = home_.home() / "data/Velmora Free";
  const fs::path install_ = home_.home() / "opt/Velmora Free";
  const fs::path launcherFolder_ = home_.home() / "launcher";
  RecordingBox errors_;
  RecordingBox question_;
};

TEST_F(LaunchSequence, FreshNewerVersionAnsweredYesDownloadsAndStartsTheInstaller) {
  TestSite site;
  const std::string installer = testsupport::ReadFileBytes(launchertest::RecordStartProgram());
  site.Put("download/setup.bin", installer);
  const std::string archive = SettingsArchive("2.0.0.1", site.Url("/download/setup.bin?lang=en"));
  site.Put("download/settings.bin", archive);
  InstallMainProgram();
  question_.answer = mrYes;

  ASSERT_TRUE(Run(site.Url("/download/settings.bin")));

  EXPECT_EQ(question_.shown, std::vector<std::string>{kQuestion});
  const fs::path downloaded = data_ / "setup.bin";
  ASSERT_TRUE(WaitForStart(downloaded));
  EXPECT_EQ(testsupport::ReadFileBytes(downloaded.string() + ".started"), "arguments=0\n");
  EXPECT_EQ(testsupport::ReadFileBytes(downloaded), installer);
  EXPECT_EQ(fs::status(downloaded).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(testsupport::ReadFileBytes(data_ / "settings.bin"), archive) << "the stored copy";
  EXPECT_TRUE(errors_.shown.empty());
  // Both programs would have been started at the same moment.
  EXPECT_FALSE(fs::exists(MainProgram().string() + ".started"));
}

TEST_F(LaunchSequence, FreshNewerVersionAnsweredNoStartsTheMainProgram) {
  TestSite site;
  site.Put("download/settings.bin", SettingsArchive("2.1", site.Url("/download/setup.bin")));
  InstallMainProgram();
  question_.answer = mrNo;

  ASSERT_TRUE(Run(site.Url("/download/settings.bin")));

  EXPECT_EQ(question_.shown.size(), 1u);
  EXPECT_TRUE(WaitForStart(MainProgram()));
  EXPECT_EQ(testsupport::ReadFileBytes(MainProgram().string() + ".started"), "arguments=0\n");
  EXPECT_EQ(site.Requests(), std::vector<std::string>{"/download/settings.bin"});
}

TEST_F(LaunchSequence, InstallerThatCannotStartIsShownAsCodeThreeAndNothingElseStarts) {
  TestSite site;
  site.Put("download/setup.bin", "not a program");
  site.Put("download/settings.bin", SettingsArchive("2.0.0.1", site.Url("/download/setup.bin")));
  InstallMainProgram();
  question_.answer = mrYes;

  ASSERT_TRUE(Run(site.Url("/download/settings.bin")));

  const std::string failure =
      "Could not create setup process. The program could not be started "
      "FileName = \"" +
      (data_ / "setup.bin").string() + "\"";
  EXPECT_EQ(errors_.shown, std::vector<std::string>{failure});
  EXPECT_TRUE(Logged(":0003 " + failure)) << ::testing::PrintToString(LogTexts());
  EXPECT_EQ(testsupport::ReadFileBytes(data_ / "setup.bin"), "not a program");
  QTest::qWait(500);  // the main program would have been started at once
  EXPECT_FALSE(fs::exists(MainProgram().string() + ".started"));
}

TEST_F(LaunchSequence, InstallPathWithATrailingDelimiterGetsNoSecondOne) {
  RegistryUtils::SetStrValue("\\Software\\Velmora Free", "InstallPath", install_.string() + "/");

  ASSERT_TRUE(Run("https://127.0.0.1:1/download/settings.bin"));

  EXPECT_EQ(errors_.shown, std::vector<std::string>{
                               "Could not create Velmora Free process. No such file or directory "
                               "FileName = \"" +
                               install_.string() + "/VelmoraFree\""});
}

TEST_F(LaunchSequence, DocumentWithoutTheProductOffersNothingEvenWithoutAMainProgram) {
  TestSite site;
  site.Put("download/settings.bin",
           SettingsArchive("2.0.0.1", site.Url("/download/setup.bin"), "Another Product"));

  ASSERT_TRUE(Run(site.Url("/download/settings.bin")));

  EXPECT_TRUE(question_.shown.empty());
  ASSERT_EQ(errors_.shown.size(), 1u);
  EXPECT_EQ(errors_.shown[0].rfind("Could not create Velmora Free process.", 0), 0u);
}

TEST_F(LaunchSequence, RedirectWithinHttpsIsFollowed) {
  TestSite site;
  site.Put("v2/settings.bin", SettingsArchive("3.0.0.0", site.Url("/download/setup.bin")));
  site.Route("/download/settings.bin",
             R"({"status": 302, "location": ")" + site.Url("/v2/settings.bin") + R"("})");
  InstallMainProgram();

  ASSERT_TRUE(Run(site.Url("/download/settings.bin")));

  EXPECT_EQ(question_.shown.size(), 1u);
  EXPECT_TRUE(WaitForStart(MainProgram()));
}

TEST_F(LaunchSequence, PublishedVersionEqualToTheInstalledOneAsksNothing) {
  TestSite site;
  site.Put("download/settings.bin", SettingsArchive("2.0.0.0", site.Url("/download/setup.bin")));
  InstallMainProgram();

  ASSERT_TRUE(Run(site.Url("/download/settings.bin")));

  EXPECT_TRUE(question_.shown.empty());
  EXPECT_TRUE(WaitForStart(MainProgram()));
  EXPECT_TRUE(LogTexts().empty());
}

TEST_F(LaunchSequence, MissingMainProgramIsOfferedAnUpdateAndItsFailedStartShown) {
  TestSite site;
  site.Put("download/settings.bin", SettingsArchive("0.0.0.1", site.Url("/download/setup.bin")));

  ASSERT_TRUE(Run(site.Url("/download/settings.bin")));

  EXPECT_EQ(question_.shown.size(), 1u);
  const std::string failure =
      "Could not create Velmora Free process. No such file or directory "
      "FileName = \"" +
      MainProgram().string() + "\"";
  EXPECT_EQ(errors_.shown, std::vector<std::string>{failure});
  EXPECT_TRUE(Logged(":0004 " + failure));
}

// After Yes, a download that fails is shown, leaves no file behind, and the
// installed program starts as after No.
struct FailedInstallerCase {
  const char* name;
  std::function<std::string(TestSite&)>
      setupUrl;  // prepares the site, gives the installer's address
  const char* shownPart;
};
void PrintTo(const FailedInstallerCase& row, std::ostream* out) { *out << row.name; }

class FailedInstallerDownload : public LaunchSequence,
                                public ::testing::WithParamInterface<FailedInstallerCase> {};

TEST_P(FailedInstallerDownload, IsShownAndTheMainProgramStarts) {
  TestSite site;
  const std::string setupUrl = GetParam().setupUrl(site);
  site.Put("download/settings.bin", SettingsArchive("9.0.0.0", setupUrl));
  InstallMainProgram();
  question_.answer = mrYes;

  ASSERT_TRUE(Run(site.Url("/download/settings.bin")));

  ASSERT_EQ(errors_.shown.size(), 1u);
  EXPECT_EQ(errors_.shown[0].rfind("[MainForm Error]: EDownloadError : ", 0), 0u)
      << errors_.shown[0];
  EXPECT_NE(errors_.shown[0].find(GetParam().shownPart), std::string::npos) << errors_.shown[0];
  EXPECT_TRUE(WaitForStart(MainProgram()));
  // Nothing but the stored settings copy and the log in the data folder.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(data_))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Err.log", "settings.bin"}));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailedInstallerDownload,
    ::testing::Values(
        FailedInstallerCase{"NotFound", [](TestSite& s) { return s.Url("/download/none.bin"); },
                            "Not Found"},
        FailedInstallerCase{"ConnectionDroppedHalfway",
                            [](TestSite& s) {
                              s.Put("setup.bin", std::string(200000, 'i'));
                              s.Route("/download/setup.bin",
                                      R"({"file": "setup.bin", "truncate": 1000})");
                              return s.Url("/download/setup.bin");
                            },
                            ""},
        FailedInstallerCase{"ClearTextAddress",
                            [](TestSite& s) {
                              s.Put("download/setup.bin", "x");
                              return "http" + s.Url("/download/setup.bin").substr(5);
                            },
                            "Only https"},
        FailedInstallerCase{"RedirectToClearText",
                            [](TestSite& s) {
                              s.Route(
                                  "/download/setup.bin",
                                  R"({"status": 301, "location": "http://127.0.0.1:1/setup.bin"})");
                              return s.Url("/download/setup.bin");
                            },
                            "non-https"}),
    [](const auto& info) { return std::string(info.param.name); });

// A settings download that fails makes no offer, is logged as code 1, and
// the main program starts.
struct FailedSettingsCase {
  const char* name;
  std::function<std::string(TestSite&)> prepare;  // gives the settings address
  TestSite::Certificate certificate;
  const char* loggedPart;
};
void PrintTo(const FailedSettingsCase& row, std::ostream* out) { *out << row.name; }

class FailedSettingsDownload : public LaunchSequence,
                               public ::testing::WithParamInterface<FailedSettingsCase> {};

TEST_P(FailedSettingsDownload, MakesNoOfferAndStartsTheMainProgram) {
  TestSite site(GetParam().certificate);
  site.Put("download/setup.bin", "never fetched");
  const std::string url = GetParam().prepare(site);
  InstallMainProgram();
  question_.answer = mrYes;

  ASSERT_TRUE(Run(url));

  EXPECT_TRUE(question_.shown.empty());
  EXPECT_TRUE(WaitForStart(MainProgram()));
  EXPECT_TRUE(
      Logged(std::string(":0001 [MainForm Error]: EDownloadError : ") + GetParam().loggedPart))
      << ::testing::PrintToString(LogTexts());
  EXPECT_FALSE(fs::exists(data_ / "settings.bin"));
  for (const std::string& request : site.Requests()) EXPECT_NE(request, "/download/setup.bin");
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailedSettingsDownload,
    ::testing::Values(
        FailedSettingsCase{"NotFound", [](TestSite& s) { return s.Url("/download/settings.bin"); },
                           TestSite::Certificate::Trusted, ""},
        FailedSettingsCase{"CertificateOfAnotherAuthority",
                           [](TestSite& s) {
                             s.Put("download/settings.bin",
                                   SettingsArchive("9", s.Url("/download/setup.bin")));
                             return s.Url("/download/settings.bin");
                           },
                           TestSite::Certificate::Rogue, ""},
        FailedSettingsCase{
            "RedirectToClearText",
            [](TestSite& s) {
              s.Route("/download/settings.bin",
                      R"({"status": 302, "location": "http://127.0.0.1:1/settings.bin"})");
              return s.Url("/download/settings.bin");
            },
            TestSite::Certificate::Trusted, "Redirect to a non-https address refused"},
        FailedSettingsCase{"LargerThanASettingsArchive",
                           [](TestSite& s) {
                             s.Put("download/settings.bin",
                                   std::string(launcher::kMaxSettingsBytes + 1, 'z'));
                             return s.Url("/download/settings.bin");
                           },
                           TestSite::Certificate::Trusted, "The answer is larger than"},
        FailedSettingsCase{
            "ClearTextAddress",
            [](TestSite& s) { return "http" + s.Url("/download/settings.bin").substr(5); },
            TestSite::Certificate::Trusted, "Only https addresses are fetched"}),
    [](const auto& info) { return std::string(info.param.name); });

// The settings download gives up after 3 s without an answer, so the main
// program starts within about 3.5 s of the tick.
TEST_F(LaunchSequence, StallingSiteDelaysTheStartByTheTimeOutOnly) {
  TestSite site;
  site.Route("/download/settings.bin", R"({"stall": true})");
  InstallMainProgram();
  QElapsedTimer clock;
  clock.start();

  ASSERT_TRUE(Run(site.Url("/download/settings.bin")));
  const qint64 elapsed = clock.elapsed();

  EXPECT_TRUE(WaitForStart(MainProgram()));
  EXPECT_GE(elapsed, 2900) << "ended before the time-out: not the stall that ended it";
  EXPECT_LT(elapsed, 3500 + 1000) << "allowance for a loaded sanitizer build";
  EXPECT_TRUE(Logged(":0001 [MainForm Error]: EDownloadError : No answer for 3000 ms"))
      << ::testing::PrintToString(LogTexts());
}

// With the site down, the stored copy is read, else the shipped one; neither
// leads to an offer. A document that fails its rules proves by its code-1
// line which copy was read.
struct FallbackCase {
  const char* name;
  const char* storedDocument;   // nullptr: no stored copy
  const char* shippedDocument;  // nullptr: no shipped copy
  const char* loggedPart;
};
void PrintTo(const FallbackCase& row, std::ostream* out) { *out << row.name; }

class FallbackCopy : public LaunchSequence, public ::testing::WithParamInterface<FallbackCase> {};

TEST_P(FallbackCopy, IsReadWithoutAnOffer) {
  const FallbackCase& c = GetParam();
  auto put = [](const fs::path& path, const char* document) {
    fs::create_directories(path.parent_path());
    testsupport::WriteFileBytes(path, launchertest::ZipWithPassword({{"settings.xml", document}},
                                                                    launcher::kSettingsPassword));
  };
  if (c.storedDocument) put(data_ / "settings.bin", c.storedDocument);
  if (c.shippedDocument) put(launcherFolder_ / "settings.bin", c.shippedDocument);
  const std::string storedBefore =
      c.storedDocument ? testsupport::ReadFileBytes(data_ / "settings.bin") : "";
  InstallMainProgram();

  ASSERT_TRUE(Run("https://127.0.0.1:1/download/settings.bin"));

  EXPECT_TRUE(question_.shown.empty());
  EXPECT_TRUE(WaitForStart(MainProgram()));
  EXPECT_TRUE(Logged(c.loggedPart)) << ::testing::PrintToString(LogTexts());
  if (c.storedDocument) {
    EXPECT_EQ(testsupport::ReadFileBytes(data_ / "settings.bin"), storedBefore);
  } else {
    EXPECT_FALSE(fs::exists(data_ / "settings.bin")) << "a fallback is never stored";
  }
}

const char* const kNewer =
    "<r><q Name=\"Velmora Free\" Version=\"9\" SetupURL=\"https://127.0.0.1:1/s\"/></r>";

INSTANTIATE_TEST_SUITE_P(
    Copies, FallbackCopy,
    ::testing::Values(
        FallbackCase{"StoredBeforeShipped", "<r><broken", kNewer,
                     ":0001 [MainForm Error]: ESettingsFormatError : "},
        FallbackCase{"StoredNewerMakesNoOffer", kNewer, nullptr,
                     ":0001 [MainForm Error]: EDownloadError"},
        FallbackCase{
            "ShippedWithoutStored", nullptr, "<r><q Name=\"Velmora Free\"/></r>",
            "ESettingsFormatError : Element \"q\" at line 1 has no attribute \"Version\""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LaunchSequence, NeitherCopyLogsBothPathsAsCodeTwo) {
  InstallMainProgram();

  ASSERT_TRUE(Run("https://127.0.0.1:1/download/settings.bin"));

  EXPECT_TRUE(WaitForStart(MainProgram()));
  EXPECT_TRUE(Logged(":0002 Both settings files \"" + (data_ / "settings.bin").string() +
                     "\" and \"" + (launcherFolder_ / "settings.bin").string() +
                     "\" absent. The process terminated."))
      << ::testing::PrintToString(LogTexts());
}

TEST_F(LaunchSequence, FreshDownloadReplacesTheStoredCopy) {
  TestSite site;
  const std::string archive = SettingsArchive("2.0.0.0", site.Url("/download/setup.bin"));
  site.Put("download/settings.bin", archive);
  fs::create_directories(data_);
  testsupport::WriteFileBytes(data_ / "settings.bin", "an old copy");
  InstallMainProgram();

  ASSERT_TRUE(Run(site.Url("/download/settings.bin")));

  EXPECT_EQ(testsupport::ReadFileBytes(data_ / "settings.bin"), archive);
  EXPECT_TRUE(WaitForStart(MainProgram()));
}

TEST_F(LaunchSequence, CancelEndsTheInstallerDownloadQuietlyAndStartsTheMainProgram) {
  TestSite site;
  site.Put("files/setup.bin", std::string(400000, 'i'));
  // 400 kB at 4 kB a tenth of a second: far longer than the Cancel takes.
  site.Route("/download/setup.bin", R"({"file": "files/setup.bin", "chunk": 4096, "pause": 0.1})");
  site.Put("download/settings.bin", SettingsArchive("9.0.0.0", site.Url("/download/setup.bin")));
  InstallMainProgram();
  question_.answer = mrYes;
  const auto owned = MakeForm(site.Url("/download/settings.bin"));
  TfMain& form = *owned;
  // Presses Cancel as soon as the download shows it.
  QTimer user;
  bool pressed = false;
  QObject::connect(&user, &QTimer::timeout, &form, [&] {
    for (QPushButton* button : form.findChildren<QPushButton*>()) {
      if (button->accessibleName() == "Cancel" && button->isVisible() && !pressed) {
        pressed = true;
        QTest::mouseClick(button, Qt::LeftButton);
      }
    }
  });
  user.start(20);
  form.show();

  form.Timer1Timer();

  EXPECT_TRUE(pressed);
  EXPECT_TRUE(errors_.shown.empty())
      << "the user's own Cancel needs no box: " << ::testing::PrintToString(errors_.shown);
  EXPECT_TRUE(Logged(":0001 [MainForm Error]: EDownloadError : Cancelled by the user"))
      << ::testing::PrintToString(LogTexts());
  EXPECT_TRUE(WaitForStart(MainProgram()));
  EXPECT_FALSE(fs::exists(data_ / "setup.bin"));
}

TEST_F(LaunchSequence, WithoutInstallPathTheMainProgramIsLookedForBesideTheLauncher) {
  platform::TRegistry registry;
  ASSERT_TRUE(registry.OpenKey("\\Software\\Velmora Free", false));
  ASSERT_TRUE(registry.DeleteValue("InstallPath"));
  const fs::path beside = launcherFolder_ / "VelmoraFree";
  fs::copy_file(launchertest::RecordStartProgram(), beside);

  ASSERT_TRUE(Run("https://127.0.0.1:1/download/settings.bin"));

  EXPECT_TRUE(WaitForStart(beside));
}

TEST_F(LaunchSequence, WindowClosedBeforeTheTickFetchesAndStartsNothing) {
  TestSite site;
  site.Put("download/settings.bin", SettingsArchive("9", site.Url("/download/setup.bin")));
  InstallMainProgram();
  {
    const auto owned = MakeForm(site.Url("/download/settings.bin"));
    TfMain& form = *owned;
    form.show();
    form.close();
    QTest::qWait(1500);  // past the tick the timer would have given
  }
  EXPECT_TRUE(site.Requests().empty());
  EXPECT_FALSE(fs::exists(MainProgram().string() + ".started"));
}

}  // namespace
