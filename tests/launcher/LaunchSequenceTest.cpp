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

// A script passes as a program but cannot start without its interpreter:
// the box tells so, and the user is not left without the installed program.
TEST_F(LaunchSequence, InstallerThatCannotStartIsShownAsCodeThreeAndTheMainProgramStarts) {
  TestSite site;
  const std::string script = "#!/nonexistent/interpreter\n";
  site.Put("download/setup.bin", script);
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
  EXPECT_EQ(testsupport::ReadFileBytes(data_ / "setup.bin"), script);
  EXPECT_TRUE(WaitForStart(MainProgram()));
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
        FailedInstallerCase{
            "ContentLengthNotMet",
            [](TestSite& s) {
              s.Put("setup.bin", testsupport::ReadFileBytes(launchertest::RecordStartProgram()));
              s.Route("/download/setup.bin", R"({"file": "setup.bin", "truncate": 100})");
              return s.Url("/download/setup.bin");
            },
            ""},
        FailedInstallerCase{"NotAProgram",
                            [](TestSite& s) {
                              s.Put("download/setup.bin", "not a program");
                              return s.Url("/download/setup.bin");
                            },
                            "The file is not a program for this system"},
        FailedInstallerCase{"HtmlPageInsteadOfTheInstaller",
                            [](TestSite& s) {
                              s.Put("download/setup.exe", "<html><body>Moved</body></html>");
                              return s.Url("/download/setup.exe");
                            },
                            "The file is not a program for this system"},
        FailedInstallerCase{"NameOfTenThousandCharacters",
                            [](TestSite& s) {
                              const std::string name(10000, 'n');
                              s.Put("setup.bin", "not a program either");
                              s.Route("/download/" + name, R"({"file": "setup.bin"})");
                              return s.Url("/download/" + name);
                            },
                            "The file is not a program for this system"},
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
  // Qt's transfer time-out runs on a coarse timer, which may fire up to 5 % early.
  EXPECT_GE(elapsed, 2850) << "ended before the time-out: not the stall that ended it";
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

// Redirects are followed up to ten, one request per hop, for the settings
// archive and the installer alike; an eleventh, or a loop, ends the transfer
// with a line that says so.
struct RedirectCase {
  const char* name;
  bool installer;  // the chain leads to the installer, else to the settings archive
  int hops;        // -1: a loop of two addresses
};
void PrintTo(const RedirectCase& row, std::ostream* out) { *out << row.name; }

class RedirectChain : public LaunchSequence, public ::testing::WithParamInterface<RedirectCase> {
 protected:
  // Routes `from` through `hops` redirects to `to`; the paths it takes.
  static std::vector<std::string> Chain(TestSite& site, const std::string& from, int hops,
                                        const std::string& to) {
    std::vector<std::string> paths{from};
    if (hops < 0) {
      site.Route(from, R"({"status": 302, "location": ")" + site.Url("/loop") + R"("})");
      site.Route("/loop", R"({"status": 302, "location": ")" + site.Url(from) + R"("})");
      return paths;
    }
    for (int i = 1; i < hops; ++i) paths.push_back("/hop" + std::to_string(i));
    paths.push_back(to);
    for (std::size_t i = 0; i + 1 < paths.size(); ++i) {
      site.Route(paths[i], R"({"status": 307, "location": ")" + site.Url(paths[i + 1]) + R"("})");
    }
    return paths;
  }
};

TEST_P(RedirectChain, IsFollowedUpToTenHops) {
  const RedirectCase& c = GetParam();
  TestSite site;
  const std::string installer = testsupport::ReadFileBytes(launchertest::RecordStartProgram());
  site.Put("files/setup.bin", installer);
  const std::string archive = SettingsArchive(
      "2.0.0.1", site.Url(c.installer ? "/download/setup.bin" : "/files/setup.bin"));
  site.Put("files/settings.bin", archive);
  std::vector<std::string> chain;
  if (c.installer) {
    site.Route("/download/settings.bin", R"({"file": "files/settings.bin"})");
    chain = Chain(site, "/download/setup.bin", c.hops, "/files/setup.bin");
  } else {
    chain = Chain(site, "/download/settings.bin", c.hops, "/files/settings.bin");
  }
  InstallMainProgram();
  question_.answer = c.installer ? mrYes : mrNo;

  ASSERT_TRUE(Run(site.Url("/download/settings.bin")));

  std::vector<std::string> requested;  // the requests along the chain
  for (const std::string& path : site.Requests()) {
    if (c.installer ? path != "/download/settings.bin" : path != "/files/setup.bin") {
      requested.push_back(path);
    }
  }
  if (c.hops >= 0 && c.hops <= 10) {
    EXPECT_EQ(requested, chain) << "one request per hop";
    EXPECT_TRUE(errors_.shown.empty()) << ::testing::PrintToString(errors_.shown);
    EXPECT_EQ(question_.shown.size(), 1u);
    EXPECT_TRUE(WaitForStart(c.installer ? data_ / "setup.bin" : MainProgram()));
    const fs::path fetched = data_ / (c.installer ? "setup.bin" : "settings.bin");
    EXPECT_EQ(testsupport::ReadFileBytes(fetched), c.installer ? installer : archive);
    return;
  }
  EXPECT_EQ(requested.size(), 11u) << "ten redirects followed, the eleventh refused";
  const std::string line = "[MainForm Error]: EDownloadError : More than 10 redirects";
  EXPECT_TRUE(Logged(":0001 " + line)) << ::testing::PrintToString(LogTexts());
  if (c.installer) {
    ASSERT_EQ(errors_.shown.size(), 1u);
    EXPECT_EQ(errors_.shown[0].rfind(line, 0), 0u) << errors_.shown[0];
  } else {
    EXPECT_TRUE(question_.shown.empty());
  }
  EXPECT_TRUE(WaitForStart(MainProgram()));
}

INSTANTIATE_TEST_SUITE_P(Hops, RedirectChain,
                         ::testing::Values(RedirectCase{"SettingsOneHop", false, 1},
                                           RedirectCase{"SettingsThreeHops", false, 3},
                                           RedirectCase{"SettingsTenHops", false, 10},
                                           RedirectCase{"SettingsElevenHops", false, 11},
                                           RedirectCase{"SettingsLoop", false, -1},
                                           RedirectCase{"InstallerOneHop", true, 1},
                                           RedirectCase{"InstallerThreeHops", true, 3},
                                           RedirectCase{"InstallerTenHops", true, 10},
                                           RedirectCase{"InstallerElevenHops", true, 11},
                                           RedirectCase{"InstallerLoop", true, -1}),
                         [](const auto& info) { return std::string(info.param.name); });

// A fresh answer that is no readable settings archive never replaces the
// good stored copy; the line in the log tells why, and no offer is made.
struct BadSettingsCase {
  const char* name;
  std::function<void(TestSite&)> serve;  // what the site answers at /download/settings.bin
  std::string loggedPart;                // after ":0001 [MainForm Error]: "
};
void PrintTo(const BadSettingsCase& row, std::ostream* out) { *out << row.name; }

class BadSettingsAnswer : public LaunchSequence,
                          public ::testing::WithParamInterface<BadSettingsCase> {};

TEST_P(BadSettingsAnswer, LeavesTheStoredCopyAsItWas) {
  TestSite site;
  GetParam().serve(site);
  fs::create_directories(data_);
  const std::string good = SettingsArchive("2.0.0.0", site.Url("/download/setup.bin"));
  testsupport::WriteFileBytes(data_ / "settings.bin", good);
  InstallMainProgram();
  question_.answer = mrYes;

  ASSERT_TRUE(Run(site.Url("/download/settings.bin")));

  EXPECT_EQ(testsupport::ReadFileBytes(data_ / "settings.bin"), good);
  EXPECT_TRUE(Logged(":0001 [MainForm Error]: " + GetParam().loggedPart))
      << ::testing::PrintToString(LogTexts());
  EXPECT_TRUE(question_.shown.empty());
  EXPECT_TRUE(WaitForStart(MainProgram()));
  std::vector<std::string> names;  // no temporary file left beside the copy
  for (const auto& entry : fs::directory_iterator(data_))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Err.log", "settings.bin"}));
}

void Serve(TestSite& site, const std::string& bytes) { site.Put("download/settings.bin", bytes); }

const std::string kNotStored =
    "ESettingsFormatError : The downloaded \"settings.bin\" is not stored: ";

INSTANTIATE_TEST_SUITE_P(
    Answers, BadSettingsAnswer,
    ::testing::Values(
        BadSettingsCase{"WrongPassword",
                        [](TestSite& s) {
                          Serve(s, launchertest::ZipWithPassword(
                                       {{"settings.xml", launchertest::SettingsXml("9", "x")}},
                                       "not_the_password"));
                        },
                        kNotStored + "The entry \"settings.xml\" can't be"},
        BadSettingsCase{"Garbage",
                        [](TestSite& s) { Serve(s, std::string("\x13\x37garbage\xff", 11)); },
                        kNotStored + "Not a ZIP archive"},
        BadSettingsCase{
            "HtmlPage",
            [](TestSite& s) { Serve(s, "<!DOCTYPE html><html><body>Maintenance</body></html>"); },
            kNotStored + "Not a ZIP archive"},
        BadSettingsCase{"EmptyAnswer", [](TestSite& s) { Serve(s, ""); },
                        kNotStored + "The archive is empty"},
        BadSettingsCase{
            "ZipBomb",
            [](TestSite& s) {
              Serve(s, launchertest::ZipWithPassword(
                           {{"settings.xml", std::string(64 * launcher::kMaxSettingsBytes, ' ')}},
                           launcher::kSettingsPassword));
            },
            kNotStored + "The entry \"settings.xml\" is larger than 1048576 bytes"},
        BadSettingsCase{
            "LargerThanOneMiB",
            [](TestSite& s) { Serve(s, std::string(launcher::kMaxSettingsBytes + 1, 'z')); },
            "EDownloadError : The answer is larger than 1048576 bytes"},
        BadSettingsCase{
            "ContentLengthThenZeros",
            [](TestSite& s) { s.Route("/download/settings.bin", R"({"zeros": 500000})"); },
            kNotStored + "Not a ZIP archive"},
        BadSettingsCase{"ContentLengthThenFewerZeros",
                        [](TestSite& s) {
                          s.Route("/download/settings.bin",
                                  R"({"zeros": 500000, "truncate": 1000})");
                        },
                        "EDownloadError : "},
        BadSettingsCase{"DocumentNotWellFormed",
                        [](TestSite& s) {
                          Serve(s, launchertest::ZipWithPassword({{"settings.xml", "<r><broken"}},
                                                                 launcher::kSettingsPassword));
                        },
                        kNotStored}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
