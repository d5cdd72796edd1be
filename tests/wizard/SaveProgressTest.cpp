// The save progress figures and the overwrite rule without a window, then
// the two windows offscreen: the progress window keeps its requests for one
// reading and refuses to close; the overwrite dialog's answers and its place
// above the always-on-top progress window.

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "wizard/Overwrite.h"
#include "wizard/SaveProgress.h"
#include "wizard/uOverwriteDialogForm.h"
#include "wizard/uSaveProgressForm.h"

namespace {

struct BarCase {
  const char* name;
  std::int64_t fileSize;
  std::vector<std::int64_t> adds;
  std::vector<int> positions;  // the file bar after each add
};

class FileBar : public ::testing::TestWithParam<BarCase> {};

TEST_P(FileBar, StandsAtTheRoundedShare) {
  TSaveProgress p;
  p.SetFileSize(GetParam().fileSize);
  std::vector<int> positions;
  for (std::int64_t add : GetParam().adds) {
    p.Add(add);
    positions.push_back(p.FilePosition());
  }
  EXPECT_EQ(positions, GetParam().positions);
}

INSTANTIATE_TEST_SUITE_P(Examples, FileBar,
                         ::testing::Values(BarCase{.name = "ThreeBlocksOf5000",
                                                   .fileSize = 5000,
                                                   .adds = {2048, 2048, 904},
                                                   .positions = {41, 82, 100}},
                                           BarCase{.name = "EmptyFileStaysAtZero",
                                                   .fileSize = 0,
                                                   .adds = {0, 0},
                                                   .positions = {0, 0}},
                                           BarCase{.name = "EmptyFileCountsBytesAsPercent",
                                                   .fileSize = 0,
                                                   .adds = {3, 500},
                                                   .positions = {3, 100}},
                                           BarCase{.name = "HalvesGoToTheEvenNeighbour",
                                                   .fileSize = 200,
                                                   .adds = {1, 2, 2},
                                                   .positions = {0, 2, 2}},
                                           BarCase{.name = "BeyondTheSizeIsHeldAtTheEnd",
                                                   .fileSize = 100,
                                                   .adds = {250},
                                                   .positions = {100}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SaveProgress, TheTotalLabelReadsSavedOfTotal) {
  TSaveProgress p;
  p.SetTotalSize(4'700'000'000);
  p.SetFileSize(2'000'000);
  p.Add(1'500'000);
  EXPECT_EQ(p.TotalText("."), "1.50 MB of 4.70 GB");
  EXPECT_EQ(p.TotalSaved(), 1'500'000);
  EXPECT_EQ(p.FileSaved(), 1'500'000);
  EXPECT_EQ(p.TotalPosition(), 0);
  EXPECT_EQ(p.FilePosition(), 75);
  EXPECT_EQ(p.TotalSize(), 4'700'000'000);
  p.SetFileSize(10);
  EXPECT_EQ(p.FileSaved(), 0) << "a new file starts its own count";
  EXPECT_EQ(p.TotalSaved(), 1'500'000);
}

// A run of only empty files has nothing to save: all of it is saved at once.
TEST(SaveProgress, NothingToSaveReadsZeroOfZeroWithAFullTotalBar) {
  TSaveProgress p;
  p.SetTotalSize(0);
  p.SetFileSize(0);
  EXPECT_EQ(p.TotalText("."), "0 Bytes of 0 Bytes");
  EXPECT_EQ(p.TotalSize(), 0);
  EXPECT_EQ(p.TotalPosition(), TSaveProgress::BarMax);
  p.Add(0);
  p.SetFileSize(0);
  p.Add(0);
  EXPECT_EQ(p.TotalText("."), "0 Bytes of 0 Bytes");
  EXPECT_EQ(p.TotalPosition(), TSaveProgress::BarMax);
  p.SetTotalSize(10);
  EXPECT_EQ(p.TotalPosition(), 0) << "a run with bytes starts empty";
  EXPECT_EQ(p.TotalText("."), "0 Bytes of 10 Bytes");
}

TEST(SaveProgress, ARequestIsDeliveredOnceAndTheLaterPressWins) {
  TSaveProgress p;
  EXPECT_EQ(p.CancelState(), spcNormal);
  p.Skip();
  EXPECT_EQ(p.CancelState(), spcSkip);
  EXPECT_EQ(p.CancelState(), spcNormal);
  p.Skip();
  p.Cancel();
  EXPECT_EQ(p.CancelState(), spcCancel);
  EXPECT_EQ(p.CancelState(), spcNormal);
  p.Cancel();
  p.Hidden();
  EXPECT_EQ(p.CancelState(), spcNormal) << "a hidden window drops its request";
}

struct OverwriteCase {
  const char* name;
  std::vector<TOverwriteAnswer> answers;  // given in turn when asked
  std::vector<bool> exists;               // the targets in run order
  std::vector<bool> written;
  int asked;
};

class OverwriteAnswers : public ::testing::TestWithParam<OverwriteCase> {};

TEST_P(OverwriteAnswers, DecideTheFilesOfTheRun) {
  TOverwriteRule rule;
  std::size_t asked = 0;
  std::vector<bool> written;
  for (bool exists : GetParam().exists)
    written.push_back(rule.MayWrite(exists, [&] { return GetParam().answers.at(asked++); }));
  EXPECT_EQ(written, GetParam().written);
  EXPECT_EQ(static_cast<int>(asked), GetParam().asked);
}

INSTANTIATE_TEST_SUITE_P(Table, OverwriteAnswers,
                         ::testing::Values(OverwriteCase{.name = "NewFilesNeedNoQuestion",
                                                         .answers = {},
                                                         .exists = {false, false},
                                                         .written = {true, true},
                                                         .asked = 0},
                                           OverwriteCase{.name = "YesToAllAsksOnceReplacesBoth",
                                                         .answers = {oaYesToAll},
                                                         .exists = {true, true},
                                                         .written = {true, true},
                                                         .asked = 1},
                                           OverwriteCase{.name = "NoToAllAsksOnceKeepsBoth",
                                                         .answers = {oaNoToAll},
                                                         .exists = {true, true},
                                                         .written = {false, false},
                                                         .asked = 1},
                                           OverwriteCase{.name = "NoAsksAgain",
                                                         .answers = {oaNo, oaYes},
                                                         .exists = {true, true},
                                                         .written = {false, true},
                                                         .asked = 2},
                                           OverwriteCase{.name = "YesAsksAgain",
                                                         .answers = {oaYes, oaNo},
                                                         .exists = {true, true},
                                                         .written = {true, false},
                                                         .asked = 2},
                                           OverwriteCase{.name = "ClosingKeepsTheFileAndAsksAgain",
                                                         .answers = {oaCancel, oaYes},
                                                         .exists = {true, true},
                                                         .written = {false, true},
                                                         .asked = 2},
                                           OverwriteCase{.name = "ANewFileBetweenDoesNotAsk",
                                                         .answers = {oaNo, oaYes},
                                                         .exists = {true, false, true},
                                                         .written = {false, true, true},
                                                         .asked = 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OverwriteQuestion, NamesTheFileAndAsks) {
  EXPECT_EQ(OverwriteQuestion("a.txt"),
            "Folder already contains a file \"a.txt\".\r\n\r\nDo you really want to replace "
            "existing file?");
}

// The windows.

class ProgressWindow : public ::testing::Test {
 protected:
  ProgressWindow() {
    owner.resize(600, 400);
    owner.show();
    ShowSaveProgressForm(&owner);
  }
  ~ProgressWindow() override { FreeSaveProgressForm(); }
  QWidget owner;
};

TEST_F(ProgressWindow, ShowsTheFigures) {
  ASSERT_NE(SaveProgressForm, nullptr);
  SaveProgressForm->SetTotalSize(4'700'000'000);
  SaveProgressForm->SetFileSize(5000);
  SaveProgressForm->SetFileName(std::filesystem::path("/media/disc/a/b.txt"));
  SaveProgressForm->Add(2048);
  EXPECT_EQ(SaveProgressForm->pbFileProgress->value(), 41);
  EXPECT_EQ(SaveProgressForm->FileName(), "/media/disc/a/b.txt");
  EXPECT_TRUE(SaveProgressForm->lblTotalSize->toolTip().endsWith(" of 4.70 GB"));
  EXPECT_TRUE(SaveProgressForm->windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(ProgressWindow, ARunOfOnlyEmptyFilesShowsAFullTotalBar) {
  SaveProgressForm->SetTotalSize(0);
  SaveProgressForm->SetFileSize(0);
  SaveProgressForm->Add(0);
  EXPECT_EQ(SaveProgressForm->pbTotalProgress->value(), TSaveProgress::BarMax);
  EXPECT_EQ(SaveProgressForm->lblTotalSize->toolTip(), "0 Bytes of 0 Bytes");
}

struct LabelCase {
  const char* name;
  std::string onDisc;
  std::string shown;
};

class NameLabel : public ProgressWindow, public ::testing::WithParamInterface<LabelCase> {};

// A name from the disc shows on one line, escaped as the scan listing does.
TEST_P(NameLabel, ShowsTheNameOnOneLine) {
  SaveProgressForm->SetFileName(std::filesystem::path(GetParam().onDisc));
  EXPECT_EQ(SaveProgressForm->FileName().toStdString(), GetParam().shown);
  EXPECT_EQ(SaveProgressForm->lblFileName->textFormat(), Qt::PlainText);
  for (const QChar c : SaveProgressForm->lblFileName->text())
    EXPECT_FALSE(c.category() == QChar::Other_Control) << "a control character is shown raw";
}

INSTANTIATE_TEST_SUITE_P(
    Table, NameLabel,
    ::testing::Values(
        LabelCase{.name = "LineFeed", .onDisc = "/m/new\nline", .shown = "/m/new\\nline"},
        LabelCase{.name = "Tab", .onDisc = "/m/tab\there", .shown = "/m/tab\\there"},
        LabelCase{.name = "CarriageReturn", .onDisc = "/m/cr\rhere", .shown = "/m/cr\\rhere"},
        LabelCase{.name = "Latin1Byte", .onDisc = "/m/caf\xE9", .shown = "/m/caf\\xE9"},
        LabelCase{.name = "EscapeSequence", .onDisc = "/m/\x1B[31mred", .shown = "/m/\\x1B[31mred"},
        LabelCase{.name = "Markup", .onDisc = "/m/<b>x</b>", .shown = "/m/<b>x</b>"},
        LabelCase{.name = "Bytes255",
                  .onDisc = "/m/" + std::string(254, 'n') + "\xE9",
                  .shown = "/m/" + std::string(254, 'n') + "\\xE9"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgressWindow, SkipThenCancelDeliversOnlyCancelOnce) {
  SaveProgressForm->btnSkip->click();
  SaveProgressForm->btnCancel->click();
  EXPECT_EQ(SaveProgressForm->CancelState(), spcCancel);
  EXPECT_EQ(SaveProgressForm->CancelState(), spcNormal);
}

TEST_F(ProgressWindow, ACancelShowsItWasHeardUntilTheRunTakesIt) {
  SaveProgressForm->btnCancel->click();
  EXPECT_EQ(SaveProgressForm->btnCancel->text(), QString::fromUtf8("Cancelling\u2026"));
  EXPECT_FALSE(SaveProgressForm->btnCancel->isEnabled()) << "a second press changes nothing";
  EXPECT_EQ(SaveProgressForm->Request()->Take(), spcCancel) << "what the save job reads";
}

TEST_F(ProgressWindow, RefusesToCloseAndShowsOnlyOnce) {
  TSaveProgressForm* first = SaveProgressForm;
  EXPECT_FALSE(SaveProgressForm->close());
  EXPECT_TRUE(SaveProgressForm->isVisible());
  ShowSaveProgressForm(&owner);
  EXPECT_EQ(SaveProgressForm, first);
}

// Presses a key or clicks a button of the next overwrite dialog once it is up.
void AnswerTheDialog(std::function<void(TOverwriteDialogForm&)> act, QWidget** parent = nullptr) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, act, parent] {
    if (auto* d = qobject_cast<TOverwriteDialogForm*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      if (parent) *parent = d->parentWidget();
      act(*d);
    }
  });
  poll->start(10);
}

struct DialogCase {
  const char* name;
  std::function<void(TOverwriteDialogForm&)> act;
  TOverwriteAnswer answer;
};

class OverwriteDialog : public ::testing::TestWithParam<DialogCase> {};

TEST_P(OverwriteDialog, AnswersAsPressed) {
  QWidget form;
  form.resize(600, 400);
  form.show();
  AnswerTheDialog(GetParam().act);
  EXPECT_EQ(ShowOverwriteDialog(&form, "question"), GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, OverwriteDialog,
    ::testing::Values(
        DialogCase{"Yes", [](auto& d) { d.Button1->click(); }, oaYes},
        DialogCase{"YesToAll", [](auto& d) { d.Button2->click(); }, oaYesToAll},
        DialogCase{"No", [](auto& d) { d.Button3->click(); }, oaNo},
        DialogCase{"NoToAll", [](auto& d) { d.Button4->click(); }, oaNoToAll},
        DialogCase{"EscapeIsNo", [](auto& d) { QTest::keyClick(&d, Qt::Key_Escape); }, oaNo},
        DialogCase{"EnterIsYes", [](auto& d) { QTest::keyClick(&d, Qt::Key_Return); }, oaYes},
        DialogCase{"ClosingIsCancel", [](auto& d) { d.close(); }, oaCancel}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgressWindow, TheQuestionStandsAboveTheProgressWindow) {
  QWidget* parent = nullptr;
  QString text;
  AnswerTheDialog(
      [&text](TOverwriteDialogForm& d) {
        text = d.lblMessage->text();
        d.Button3->click();
      },
      &parent);
  EXPECT_EQ(ShowOverwriteDialog(&owner, "Folder already contains a file \"<b>x</b>\"."), oaNo);
  EXPECT_EQ(parent, SaveProgressForm) << "transient for the always-on-top window";
  EXPECT_EQ(text, "Folder already contains a file \"<b>x</b>\".");
}

}  // namespace
