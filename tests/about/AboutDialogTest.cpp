// The About dialog offscreen: its texts and layout rules, the mirrored
// layout of language 1025, the links, and "Send err.log file" with a
// recording mail client, without one, and without a log.

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <variant>

#include "FakeMailClient.h"
#include "RegistryFixture.h"
#include "RunProcess.h"
#include "StoredLcid.h"
#include "TempDir.h"
#include "reports/gui/uAbout.h"
#include "reports/uProgress.h"
#include "support/ProductSite.h"
#include "support/uFunctions.h"
#include "support/uWorkWithRegistry.h"

namespace fs = std::filesystem;
using testsupport::ScopedEnv;

namespace {

// Answers the next modal message box with OK and keeps its text.
class BoxWatcher {
 public:
  BoxWatcher() {
    QObject::connect(&FPoll, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        texts.push_back(box->text().toStdString());
        box->button(QMessageBox::Ok)->click();
      }
    });
    FPoll.start(10);
  }
  std::vector<std::string> texts;

 private:
  QTimer FPoll;
};

// An isolated home with its own registry, data folder and temporary folder,
// an English interface, and the environment of the recording mail client.
class AboutFixture : public regtest::RegistryFixture {
 protected:
  AboutFixture()
      : tmp_("TMPDIR", (FHome.home() / "tmp").string()),
        lcAll_("LC_ALL", ""),
        lcMessages_("LC_MESSAGES", ""),
        lang_("LANG", "en_US.UTF-8"),
        language_("LANGUAGE", "") {
    fs::create_directories(FHome.home() / "tmp");
    fs::create_directories(ProductDataFolder);
  }
  fs::path Archive() const {
    return FHome.home() / "tmp" / ("velmora-free-" + std::to_string(::getuid())) /
           "err.log file of Velmora Free.zip";
  }
  void WriteLog() {
    testsupport::WriteFileBytes(fs::path(ProductDataFolder) / "Err.log", "a report\r\n");
  }

  testsupport::ScopedEnv tmp_, lcAll_, lcMessages_, lang_, language_;
  testsupport::MailEnvironment mail_;
};

TEST_F(AboutFixture, ShowsProductVersionSiteAndSupport) {
  TAboutDialog dialog;
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "About Velmora Free");
  EXPECT_EQ(dialog.GroupBox1->title(), " Velmora Free ");
  EXPECT_EQ(dialog.lVersion->text(), "Version : 2.0.0.0");
  EXPECT_EQ(dialog.GroupBox2->title(), "Product information ");
  EXPECT_EQ(dialog.lSite->accessibleName().toStdString(), support::ProductSiteHost);
  EXPECT_TRUE(dialog.lSite->text().contains(support::ProductSiteHost));
  EXPECT_EQ(dialog.lEMail->accessibleName().toStdString(), support::SupportEmail);
  EXPECT_EQ(dialog.property("helpContext").toInt(), 900);
  EXPECT_EQ(dialog.width(), 603);
  EXPECT_EQ(dialog.pOk->height(), 51);
  EXPECT_EQ(dialog.btnSendErrLog->geometry(), QRect(11, 7, 155, 31));
  EXPECT_EQ(dialog.btnOk->geometry(), QRect(472, 6, 92, 31));
  EXPECT_EQ(dialog.layoutDirection(), Qt::LeftToRight);
  EXPECT_EQ(TAboutDialog::ReportLines(),
            (std::vector<std::string>{
                "Program: [Velmora Free]", "Version: [2.0.0.0]",
                "Problem description: <describe your problem detailed here, do not hesitate to "
                "include screenshots>"}));
}

TEST_F(AboutFixture, LinksFollowTheirCaptionsOnEveryResize) {
  TAboutDialog dialog;
  dialog.show();
  for (auto [caption, link] :
       {std::pair{dialog.Label3, dialog.lSite}, {dialog.l1, dialog.lEMail}}) {
    EXPECT_EQ(caption->x(), 20);
    EXPECT_EQ(link->x(), caption->x() + caption->width() + 10);
    EXPECT_EQ(link->y(), caption->y());
  }
  dialog.lSite->move(300, 5);
  dialog.Panel2->resize(dialog.Panel2->width() - 1, dialog.Panel2->height());
  EXPECT_EQ(dialog.lSite->x(), dialog.Label3->x() + dialog.Label3->width() + 10);
  EXPECT_EQ(dialog.lSite->y(), dialog.Label3->y());
}

TEST_F(AboutFixture, PlaceAfterLabelPutsTheLinkTenPixelsAfterTheCaption) {
  QWidget row;
  row.resize(400, 30);
  QLabel caption(QStringLiteral("Site: "), &row), link(QStringLiteral("example"), &row);
  caption.setGeometry(33, 4, 50, 20);
  PlaceAfterLabel(&caption, &link);
  EXPECT_EQ(link.pos(), QPoint(93, 4));
}

using regtest::StoredLcid;

struct MirrorCase {
  const char* name;
  StoredLcid lcid;
  const char* lang;
  bool mirrored;
  std::vector<std::string> logged;
};

void PrintTo(const MirrorCase& row, std::ostream* out) { *out << row.name; }

class MirrorTest : public AboutFixture, public ::testing::WithParamInterface<MirrorCase> {};

TEST_P(MirrorTest, Language1025MirrorsTheDialog) {
  const MirrorCase& c = GetParam();
  ScopedEnv lang("LANG", c.lang);
  regtest::StoreLcid(c.lcid);
  QWidget owner;
  owner.setLayoutDirection(Qt::RightToLeft);  // the dialog never takes its owner's direction
  TAboutDialog dialog(&owner);
  dialog.show();
  EXPECT_EQ(dialog.layoutDirection(), c.mirrored ? Qt::RightToLeft : Qt::LeftToRight);
  EXPECT_EQ(ReportedTexts(), c.logged);
  if (c.mirrored) {
    // The hand-placed controls are mirrored as the layouts are.
    EXPECT_EQ(dialog.btnSendErrLog->geometry(), QRect(603 - 11 - 155, 7, 155, 31));
    EXPECT_EQ(dialog.Label3->x() + dialog.Label3->width(), dialog.Panel2->width() - 20);
    EXPECT_EQ(dialog.lSite->x() + dialog.lSite->width(), dialog.Label3->x() - 10);
    EXPECT_TRUE(dialog.lVersion->alignment() & Qt::AlignRight);
    // The version line keeps its margin of 20 on the right now.
    EXPECT_GT(dialog.GroupBox1->width() - 1 - dialog.lVersion->geometry().right(),
              dialog.lVersion->x() + 10);
  } else {
    EXPECT_EQ(dialog.btnSendErrLog->geometry(), QRect(11, 7, 155, 31));
    EXPECT_FALSE(dialog.lVersion->alignment() & Qt::AlignRight);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Languages, MirrorTest,
    ::testing::Values(MirrorCase{.name = "Lcid1025WithEnglishInterface",
                                 .lcid = 1025,
                                 .lang = "en_US.UTF-8",
                                 .mirrored = true,
                                 .logged = {}},
                      MirrorCase{.name = "Lcid0801IsNotMirrored",
                                 .lcid = 0x0801,
                                 .lang = "en_US.UTF-8",
                                 .mirrored = false,
                                 .logged = {}},
                      MirrorCase{.name = "LcidAbsentAndArabicInterface",
                                 .lcid = {},
                                 .lang = "ar_SA.UTF-8",
                                 .mirrored = true,
                                 .logged = {" r.03004_int"}},
                      MirrorCase{.name = "LcidAsStringIsLoggedAndEnglishDecides",
                                 .lcid = std::string("1025"),
                                 .lang = "en_US.UTF-8",
                                 .mirrored = false,
                                 .logged = {" r.03004_int"}},
                      MirrorCase{.name = "LcidAsStringIsLoggedAndArabicDecides",
                                 .lcid = std::string("1025"),
                                 .lang = "ar_SA.UTF-8",
                                 .mirrored = true,
                                 .logged = {" r.03004_int"}}),
    [](const auto& row) { return std::string(row.param.name); });

// The language is looked up whenever a native window is made, so a changed
// "LCID" reaches the windows created afterwards.
TEST_F(AboutFixture, ChangedLcidTakesEffectForWindowsCreatedAfterwards) {
  RegistryUtils::SetIntegerValue(regtest::kProductKey, "LCID", 1025);
  TAboutDialog first;
  first.show();
  EXPECT_EQ(first.layoutDirection(), Qt::RightToLeft);
  RegistryUtils::SetIntegerValue(regtest::kProductKey, "LCID", 0x0409);
  EXPECT_EQ(first.layoutDirection(), Qt::RightToLeft) << "a shown window keeps its layout";
  TAboutDialog second;
  second.show();
  EXPECT_EQ(second.layoutDirection(), Qt::LeftToRight);
}

TEST_F(AboutFixture, WithoutTheLogTheUserIsToldAndNoArchiveIsMade) {
  testsupport::FakeMailClient client(FHome.home());
  TAboutDialog dialog;
  dialog.show();
  BoxWatcher boxes;
  QTest::mouseClick(dialog.btnSendErrLog, Qt::LeftButton);
  EXPECT_EQ(boxes.texts, std::vector<std::string>{"The err.log file are absent."});
  EXPECT_FALSE(fs::exists(Archive()));
  EXPECT_FALSE(client.Received());
  EXPECT_TRUE(dialog.btnSendErrLog->isEnabled());
}

// Notes the state of the dialog while the mail is being handed over.
class SendingWatcher final : public TNullProgress {
 public:
  explicit SendingWatcher(QPushButton* aButton) : FButton(aButton) {}
  void ShowMessage(const std::string& aText) override {
    if (aText != "sending...") return;
    buttonEnabled = FButton->isEnabled();
    ownerEnabled = FButton->window()->parentWidget()->isEnabled();
    const QCursor* cursor = QApplication::overrideCursor();
    waitCursor = cursor && cursor->shape() == Qt::WaitCursor;
  }
  bool buttonEnabled = true;
  bool ownerEnabled = true;
  bool waitCursor = false;

 private:
  QPushButton* FButton;
};

TEST_F(AboutFixture, SendHandsTheArchiveToTheMailClientAndRestoresTheDialog) {
  WriteLog();
  testsupport::FakeMailClient client(FHome.home());
  QWidget owner;
  owner.show();
  TAboutDialog dialog(&owner);
  dialog.show();
  auto watcher = std::make_shared<SendingWatcher>(dialog.btnSendErrLog);
  GetMultiProgress()->Add({watcher});
  BoxWatcher boxes;
  QTest::mouseClick(dialog.btnSendErrLog, Qt::LeftButton);
  GetMultiProgress()->Remove({watcher});

  ASSERT_TRUE(client.Received());
  const testsupport::ReceivedMail mail = client.Mail();
  EXPECT_EQ(mail.to, support::SupportEmail);
  EXPECT_EQ(mail.subject, "err.log file of Velmora Free");
  EXPECT_EQ(mail.bodyLines, TAboutDialog::ReportLines());
  EXPECT_EQ(mail.attachments, std::vector<std::string>{Archive().string()});
  EXPECT_EQ(testsupport::UnzipTest(Archive()), 0);
  EXPECT_EQ(testsupport::ZipFileFacts(Archive()),
            "Err.log compression=8 encrypted=0 size=10\ntestzip=None\n");
  EXPECT_TRUE(boxes.texts.empty());
  EXPECT_FALSE(watcher->buttonEnabled) << "the button is disabled while sending";
  EXPECT_TRUE(watcher->waitCursor) << "the cursor is an hourglass while sending";
  EXPECT_TRUE(dialog.btnSendErrLog->isEnabled());
  EXPECT_TRUE(dialog.isEnabled());
  EXPECT_TRUE(owner.isEnabled());
  EXPECT_FALSE(watcher->ownerEnabled) << "the program's windows are disabled while sending";
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(AboutFixture, WithoutMailClientTheFailureIsShownAndLogged) {
  WriteLog();
  TAboutDialog dialog;
  dialog.show();
  BoxWatcher boxes;
  QTest::mouseClick(dialog.btnSendErrLog, Qt::LeftButton);
  EXPECT_EQ(boxes.texts,
            std::vector<std::string>{"There is no MAPI-enabled client on the machine"});
  const std::vector<std::string> lines = ErrLogLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(lines.back().ends_with(
      "Common_Forms:0001 [TfAbout.btnSendErrLogClick] There is no MAPI-enabled client on the "
      "machine"))
      << lines.back();
  EXPECT_TRUE(dialog.btnSendErrLog->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The links go to xdg-open; a recording one stands in for it on PATH.
TEST_F(AboutFixture, LinksOpenTheProductPageAndAMailLink) {
  const fs::path bin = FHome.home() / "bin";
  fs::create_directories(bin);
  const fs::path record = FHome.home() / "opened.txt";
  testsupport::WriteFileBytes(bin / "xdg-open",
                              "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + record.string() + "'\n");
  fs::permissions(bin / "xdg-open", fs::perms::owner_all);
  ScopedEnv path("PATH", bin.string() + ":" + std::getenv("PATH"));
  TAboutDialog dialog;
  dialog.show();
  const auto opened = [&](std::size_t aCount) {
    // The opener runs on its own; wait until it has written its line.
    for (int i = 0; i < 1000; ++i) {
      const std::string text = testsupport::ReadFileBytes(record);
      if (std::count(text.begin(), text.end(), '\n') >= static_cast<long>(aCount)) return text;
      QTest::qWait(10);
    }
    return testsupport::ReadFileBytes(record);
  };
  emit dialog.lSite->linkActivated(QStringLiteral("#"));
  EXPECT_EQ(opened(1), std::string(support::ProductSite) + "/velmorafree.html\n");
  emit dialog.lEMail->linkActivated(QStringLiteral("#"));
  EXPECT_EQ(opened(2), std::string(support::ProductSite) +
                           "/velmorafree.html\nmailto:" + support::SupportEmail +
                           "?body=Program: [Velmora Free]%0AVersion: [2.0.0.0]%0AProblem "
                           "description: <describe your problem detailed here, do not "
                           "hesitate to include screenshots>\n");
}

TEST_F(AboutFixture, OkClosesTheDialog) {
  TAboutDialog dialog;
  dialog.show();
  QTest::mouseClick(dialog.btnOk, Qt::LeftButton);
  EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
