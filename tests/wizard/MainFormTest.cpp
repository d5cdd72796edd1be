// The wizard window offscreen, with a drive table and a mount table of the
// test's own: the drive list following discs, the target page's warnings and
// checks, the setting that survives a restart, help and the closing page.

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "FakeDrives.h"
#include "MainFormFixture.h"
#include "TempDir.h"
#include "support/ProductSite.h"
#include "support/gui/UrlOpener.h"
#include "wizard/HelpWindow.h"
#include "wizard/uDiskInfoFrame.h"
#include "wizard/uMAVDialogs.h"
#include "wizard/uMain.h"

namespace {

namespace fs = std::filesystem;
using platform::DriveTypeCode;
using testsupport::AnswerTheBox;
using testsupport::MainForm;

TEST_F(MainForm, WithoutADiscTheDrivePageSaysSoAndNextIsDisabled) {
  table.drives["/dev/sr0"] = FakeDrive{};
  auto w = Open();
  EXPECT_EQ(w->ActivePageIndex(), 0);
  EXPECT_TRUE(w->cpNoDrive->isVisible());
  EXPECT_FALSE(w->tvDrive->isVisible());
  EXPECT_FALSE(w->lblDriveCaption->isVisible());
  EXPECT_FALSE(w->btnNext->isEnabled());
  EXPECT_FALSE(w->btnPrev->isVisible());
  EXPECT_TRUE(w->btnCancel->isVisible());
  EXPECT_EQ(w->SelectedDrive(), "");
}

TEST_F(MainForm, ArrivalOnTheDrivePageRebuildsAtOnceAndSelectsTheFirst) {
  InsertDisc("D");
  InsertDisc("F");
  auto w = Open();
  EXPECT_EQ(Entries(*w), QStringList({Caption("D"), Caption("F")}));
  EXPECT_EQ(w->SelectedDrive(), Designator("D"));
  w->tvDrive->setCurrentItem(w->tvDrive->topLevelItem(1));
  EXPECT_EQ(w->SelectedDrive(), Designator("F"));
  InsertDisc("E");
  w->DeviceChanged();
  EXPECT_EQ(Entries(*w), QStringList({Caption("D"), Caption("E"), Caption("F")}));
  EXPECT_EQ(w->SelectedDrive(), Designator("D"));
  EXPECT_TRUE(w->btnNext->isEnabled());
}

TEST_F(MainForm, ArrivalOnAnotherPageWaitsUntilTheDrivePageIsEntered) {
  InsertDisc("D");
  InsertDisc("F");
  auto w = Open();
  ChooseSecondAndGoOn(*w);
  EjectDisc("D");
  w->DeviceChanged();
  EXPECT_EQ(Entries(*w), QStringList({Caption("D"), Caption("F")})) << "unchanged meanwhile";
  w->btnPrev->click();
  ASSERT_EQ(w->ActivePageIndex(), 0);
  EXPECT_EQ(Entries(*w), QStringList({Caption("F")}));
  EXPECT_EQ(w->SelectedDrive(), Designator("F"));
}

TEST_F(MainForm, TheSelectionFollowsItsDriveNotItsRow) {
  InsertDisc("E");
  InsertDisc("F");
  auto w = Open();
  ChooseSecondAndGoOn(*w);
  InsertDisc("D");  // rows shift; the chosen drive must not turn into another
  w->DeviceChanged();
  EXPECT_EQ(w->SelectedDrive(), Designator("F"));
  EXPECT_EQ(w->SourceDiskInfoFrame->Drive(), Designator("F"));
}

TEST_F(MainForm, NoSelectedEntryMeansNoDrive) {
  InsertDisc("D");
  auto w = Open();
  w->tvDrive->clearSelection();  // Ctrl+click on the selected entry
  EXPECT_EQ(w->SelectedDrive(), "");
  EXPECT_FALSE(w->btnNext->isEnabled());
  w->tvDrive->topLevelItem(0)->setSelected(true);
  EXPECT_EQ(w->SelectedDrive(), Designator("D"));
  EXPECT_TRUE(w->btnNext->isEnabled());
}

TEST_F(MainForm, GoingBackWithoutAChangeKeepsTheUsersSelection) {
  InsertDisc("D");
  InsertDisc("F");
  auto w = Open();
  ChooseSecondAndGoOn(*w);
  w->btnPrev->click();
  EXPECT_EQ(w->SelectedDrive(), Designator("F"));
  EXPECT_EQ(w->tvDrive->currentItem()->text(0), Caption("F"));
}

TEST_F(MainForm, TargetWarningsAndNext) {
  InsertDisc("D", 40'000'000'000);
  auto w = Open();
  w->btnNext->click();
  ASSERT_EQ(w->ActivePageIndex(), 1);
  EXPECT_EQ(w->SourceDiskInfoFrame->lblDriveType->accessibleName(), "CD-ROM");

  w->edtRestoreDir->setText(QString::fromStdString(Designator("D") + "/restore"));
  EXPECT_TRUE(w->lblFreeSpaceNotEnough->text().contains("cannot be the same as the source"));
  EXPECT_FALSE(w->btnNext->isEnabled());

  w->edtRestoreDir->setText("out");
  EXPECT_EQ(w->lblFreeSpaceNotEnough->text(), "Warning:\n  -  target directory is incorrect");
  EXPECT_EQ(w->TargetDiskInfoFrame->lblDiskSize->accessibleName(), "N/A");
  EXPECT_FALSE(w->btnNext->isEnabled());

  w->edtRestoreDir->setText(QString::fromStdString(Designator("hdd") + "/restore"));
  EXPECT_TRUE(w->lblFreeSpaceNotEnough->isVisibleTo(w.get()));
  EXPECT_TRUE(w->lblFreeSpaceNotEnough->text().contains("not have enough free space"));
  EXPECT_EQ(w->TargetDiskInfoFrame->lblFreeSpace->palette().color(QPalette::WindowText),
            QColor(255, 0, 0));
  EXPECT_TRUE(w->btnNext->isEnabled()) << "too little room only warns";
  EXPECT_EQ(w->lblFreeSpaceNotEnough->textFormat(), Qt::PlainText);
}

TEST_F(MainForm, NextCreatesTheTargetFolderAndMovesOn) {
  InsertDisc("D");
  auto w = Open();
  w->btnNext->click();
  const fs::path target = root / "hdd" / "a" / "b";
  w->edtRestoreDir->setText(QString::fromStdString(target.string()));
  w->btnNext->click();
  WaitForRun(*w);
  EXPECT_TRUE(fs::is_directory(target));
  EXPECT_EQ(w->ActivePageIndex(), 2);
  EXPECT_EQ(w->btnNext->text(), "Save  ");
  EXPECT_FALSE(w->btnNext->isEnabled()) << "nothing ticked";
}

TEST_F(MainForm, AFolderThatCannotBeCreatedIsReportedAndTheWizardStays) {
  InsertDisc("D");
  testsupport::WriteFileBytes(root / "hdd" / "file", "x");
  auto w = Open();
  w->btnNext->click();
  const std::string target = Designator("hdd") + "/file/sub";  // below a file
  w->edtRestoreDir->setText(QString::fromStdString(target));
  QString said;
  AnswerTheBox(&said);
  w->btnNext->click();
  EXPECT_EQ(said, QString::fromStdString("Error: Unable to create \"" + target + "\" directory."));
  EXPECT_EQ(w->ActivePageIndex(), 1);
}

TEST_F(MainForm, ADriveErrorReturnsToTheDrivePageWithItsOwnButtons) {
  InsertDisc("D");
  auto w = Open();
  w->btnNext->click();
  w->edtRestoreDir->setText(QString::fromStdString(Designator("hdd") + "/out"));
  std::erase_if(mounts, [&](const auto& m) { return m.mountPoint == root / "D"; });
  fs::create_directory(root / "D");  // the empty mount point folder stays behind
  QString said;
  AnswerTheBox(&said);
  w->btnNext->click();
  EXPECT_EQ(said, QString::fromStdString("Error: Drive " + Designator("D") +
                                         " is not available.\r\n\r\nInsert disk into a drive, "
                                         "then press OK and try again."));
  EXPECT_EQ(w->ActivePageIndex(), 0);
  EXPECT_FALSE(w->btnPrev->isVisible()) << "no Back on the first page";
  EXPECT_TRUE(w->btnCancel->isVisible());
  EXPECT_EQ(w->btnNext->text(), "Next  ");
  EXPECT_EQ(w->property(HelpContextProperty).toInt(), 201);
}

TEST_F(MainForm, TheKeyboardAloneLeadsThroughThePages) {
  InsertDisc("D");
  auto w = Open();
  QApplication::setActiveWindow(w.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
  w->tvDrive->setFocus();
  QTest::keyClick(w->tvDrive, Qt::Key_Return);  // Enter is Next
  ASSERT_EQ(w->ActivePageIndex(), 1);
  w->edtRestoreDir->setFocus();
  QTest::keyClicks(w->edtRestoreDir, "/");
  EXPECT_TRUE(w->edtRestoreDir->text().endsWith("/"));
  w->btnPrev->setFocus();
  QTest::keyClick(w->btnPrev, Qt::Key_Return);  // a focused button takes Enter itself
  ASSERT_EQ(w->ActivePageIndex(), 0);
  QTest::keyClick(w->tvDrive, Qt::Key_Escape);  // Escape is Exit
  EXPECT_FALSE(w->isVisible());
}

TEST(CenteredMessageDlg, TheBoxCentreLiesOnTheOwnersCentre) {
  EXPECT_EQ(CenteredOver(QRect(100, 50, 632, 514), QSize(300, 120)), QPoint(266, 247));
  EXPECT_EQ(CenteredOver(QRect(0, 0, 101, 101), QSize(50, 50)), QPoint(25, 25));
  EXPECT_EQ(CenteredOver(QRect(10, 10, 100, 100), QSize(301, 201)), QPoint(-90, -40))
      << "a box larger than its owner overhangs both sides; halving rounds towards zero";
}

class SavePath : public MainForm, public ::testing::WithParamInterface<const char*> {};

TEST_P(SavePath, SurvivesARestartWhateverItHolds) {
  {
    auto w = Open();
    w->edtRestoreDir->setText(GetParam());
  }
  auto w = Open();
  EXPECT_EQ(w->edtRestoreDir->text(), GetParam());
}

std::string SavePathName(const ::testing::TestParamInfo<const char*>& info) {
  static const char* const names[] = {"with_a_blank", "empty", "not_a_path", "not_ascii"};
  return names[info.index];
}

INSTANTIATE_TEST_SUITE_P(Texts, SavePath,
                         ::testing::Values("/srv/restored files", "", "not a path", "/tmp/ü"),
                         SavePathName);

TEST_F(MainForm, TheDefaultTargetIsInTheHomeFolder) {
  auto w = Open();
  EXPECT_EQ(w->edtRestoreDir->text().toStdString(), (home.home() / "_CDRestored").string());
}

TEST_F(MainForm, EachPageHasItsHelpContextAndF1OpensItsTopic) {
  InsertDisc("D");
  auto w = Open();
  QApplication::setActiveWindow(w.get());
  w->edtRestoreDir->setText(QString::fromStdString(Designator("hdd") + "/out"));
  const std::vector<QWidget*> focusOn = {w->tvDrive, w->edtRestoreDir, w->btnCheckAll,
                                         w->reRestoreLog};
  for (int page = 0; page < 4; ++page) {
    ASSERT_EQ(w->ActivePageIndex(), page);
    EXPECT_EQ(w->property(HelpContextProperty).toInt(), 201 + page);
    EXPECT_EQ(HelpContextOf(w->btnNext), 201 + page);
    EXPECT_EQ(HelpContextOf(focusOn[page]), 201 + page);
    QTest::keyClick(focusOn[page], Qt::Key_F1);
    ASSERT_NE(w->Help().Window(), nullptr);
    EXPECT_TRUE(w->Help().Window()->isVisible());
    EXPECT_EQ(w->Help().Window()->ShownContext(), 201 + page);
    EXPECT_FALSE(w->Help().Window()->Browser()->toPlainText().isEmpty());
    w->Help().Window()->hide();
    // As a window manager does when the help window goes: its pending
    // activation lands first (the save run on the way to the last page lets
    // events through), then the wizard is active again.
    QApplication::processEvents();
    QApplication::setActiveWindow(w.get());
    if (page == 2) {
      w->btnNext->setEnabled(true);  // the file tree of a scan is not part of these tests
    }
    if (page < 3) w->btnNext->click();
    WaitForRun(*w);
  }
}

TEST_F(MainForm, F1InAnotherWindowOpensThatWindowsTopic) {
  auto w = Open();
  QDialog about(w.get());
  SetHelpContext(&about, 900);  // as the About box sets itself
  auto* ok = new QPushButton("OK", &about);
  about.show();
  QApplication::setActiveWindow(&about);
  ok->setFocus();
  QTest::keyClick(ok, Qt::Key_F1);
  ASSERT_NE(w->Help().Window(), nullptr);
  EXPECT_EQ(w->Help().Window()->ShownContext(), 900);
  EXPECT_TRUE(w->Help().Window()->Browser()->toPlainText().contains("error log"));
}

TEST_F(MainForm, TheHelpMenuOpensTheContents) {
  auto w = Open();
  w->miVelmoraHelp->trigger();
  ASSERT_NE(w->Help().Window(), nullptr);
  EXPECT_EQ(w->Help().Window()->ShownContext(), 0);
  EXPECT_TRUE(w->Help().Window()->Browser()->toPlainText().contains("Velmora Free Help"));
}

// A stand-in for xdg-open that writes down what it was asked to open.
class Opener : public MainForm {
 protected:
  Opener() {
    testsupport::WriteFileBytes(script, "#!/bin/sh\necho \"$1\" >> '" + log.string() + "'\n");
    fs::permissions(script, fs::perms::owner_all);
  }
  std::string Opened() const { return fs::exists(log) ? testsupport::ReadFileBytes(log) : ""; }
  fs::path script = dir / "opener.sh";
  fs::path log = dir / "opened.txt";
};

TEST_F(Opener, ClosingOpensTheClosingPageOnce) {
  auto w = Open();
  w->UrlOpener().SetProgram(QString::fromStdString(script.string()));
  w->close();
  QTRY_VERIFY_WITH_TIMEOUT(!Opened().empty(), 10000);
  EXPECT_EQ(Opened(), std::string(support::ProductSite) + "/like.html\n");
}

TEST_F(Opener, HowItWorksOpensTheStepOfThePageAndReadsTheExitCode) {
  InsertDisc("D");
  auto w = Open();
  w->UrlOpener().SetProgram(QString::fromStdString(script.string()));
  int exitCode = -2;
  QObject::connect(&w->UrlOpener(), &TUrlOpener::Finished,
                   [&](const QString&, int code) { exitCode = code; });
  w->btnNext->click();
  w->btnHowItWorks->click();
  QTRY_COMPARE_WITH_TIMEOUT(exitCode, 0, 10000);
  EXPECT_EQ(Opened(), std::string(support::ProductSite) + "/how_it_works_cd.html#step8\n");
  w->UrlOpener().SetProgram("/nonexistent/opener");
  w->btnHowItWorks->click();
  QTRY_COMPARE_WITH_TIMEOUT(exitCode, -1, 10000);
}

}  // namespace
