// The wizard window offscreen, for what users found wrong before: the drive
// they chose still chosen when they come back, disc texts and names never
// read as markup, a second click on Save that reaches nothing, the restore
// log written at its end whatever the user selects in it meanwhile, and
// Escape on the log page.

#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>

#include "MainFormFixture.h"
#include "wizard/RestoreRun.h"
#include "wizard/uDiskInfoFrame.h"
#include "wizard/uMAVDialogs.h"
#include "wizard/uOverwriteDialogForm.h"
#include "wizard/uSaveProgressForm.h"

namespace {

namespace fs = std::filesystem;
using testsupport::MainForm;

TEST_F(MainForm, ComingBackTheChosenDriveIsStillChosenThoughItMoved) {
  InsertDisc("E");
  InsertDisc("F");
  auto w = Open();
  ChooseSecondAndGoOn(*w);
  InsertDisc("D");  // F moves from the second row to the third
  w->DeviceChanged();
  w->btnPrev->click();
  ASSERT_EQ(w->ActivePageIndex(), 0);
  EXPECT_EQ(Entries(*w), QStringList({Caption("D"), Caption("E"), Caption("F")}));
  EXPECT_EQ(w->SelectedDrive(), Designator("F"));
  ASSERT_EQ(w->tvDrive->selectedItems().size(), 1);
  EXPECT_EQ(w->tvDrive->selectedItems()[0]->text(0), Caption("F"));
  w->btnNext->click();
  EXPECT_EQ(w->SourceDiskInfoFrame->Drive(), Designator("F"));
}

// Names from a disc are shown as they are, never as markup.
const QString kMarkup = QStringLiteral("<b>x");

TEST(PlainText, TheProgressWindowShowsADiscsNameLiterally) {
  QWidget owner;
  owner.show();
  ShowSaveProgressForm(&owner);
  SaveProgressForm->SetFileName(kMarkup);
  EXPECT_EQ(SaveProgressForm->lblFileName->textFormat(), Qt::PlainText);
  EXPECT_EQ(SaveProgressForm->lblFileName->text(), kMarkup);
  FreeSaveProgressForm();
}

TEST(PlainText, TheOverwriteQuestionAndTheMessageBoxesShowANameLiterally) {
  QWidget owner;
  owner.show();
  Qt::TextFormat question = Qt::AutoText, box = Qt::AutoText;
  QString boxText;
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, poll, [&, poll] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* d = qobject_cast<TOverwriteDialogForm*>(modal)) {
      question = d->lblMessage->textFormat();
      d->Button3->click();
    } else if (auto* b = qobject_cast<QMessageBox*>(modal)) {
      box = b->textFormat();
      boxText = b->text();
      poll->stop();
      poll->deleteLater();
      b->accept();
    }
  });
  poll->start(10);
  EXPECT_EQ(ShowOverwriteDialog(&owner, QString::fromStdString(OverwriteQuestion("<b>x"))), oaNo);
  ShowErrorOver(&owner, QStringLiteral("Unable to create \"<b>x\" directory."));
  EXPECT_EQ(question, Qt::PlainText);
  EXPECT_EQ(box, Qt::PlainText);
  EXPECT_EQ(boxText, QStringLiteral("Unable to create \"<b>x\" directory."));
}

// A disc of plain files, saved through the window.
class WindowRun : public MainForm {
 protected:
  WindowRun() {
    InsertDisc("D");
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
      testsupport::WriteFileBytes(root / "D" / name, std::string(5000, name[0]));
  }
  std::unique_ptr<TMainForm> OpenOnFilePageAllTicked() {
    auto w = Open();
    w->btnNext->click();
    w->edtRestoreDir->setText(QString::fromStdString(target.string()));
    w->btnNext->click();
    WaitForRun(*w);  // the scan
    EXPECT_EQ(w->ActivePageIndex(), 2);
    w->tvFiles->model()->setData(w->tvFiles->model()->index(0, 0), Qt::Checked, Qt::CheckStateRole);
    return w;
  }
  static QStringList LogLines(TMainForm& w) {
    QStringList lines = w.reRestoreLog->toPlainText().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
  }
  static QString Line(const std::string& name, const std::string& rest) {
    return QString::fromStdString(NameField(name) + rest);
  }
  fs::path target = root / "hdd" / "restored";
};

// A double click on Save: the second click waits in the queue while the run
// starts, and must find the buttons already disabled (Save now reads Exit).
TEST_F(WindowRun, ASecondClickOnSaveReachesNothing) {
  auto w = OpenOnFilePageAllTicked();
  bool disabledAtFirstEvent = false;
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, poll, [&, poll] {
    if (!SaveProgressForm) return;
    poll->stop();
    poll->deleteLater();
    disabledAtFirstEvent = !w->pnlBottomMain->isEnabled() && !w->menuBar()->isEnabled();
  });
  poll->start(0);
  const QPoint centre = w->btnNext->rect().center();
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
    QCoreApplication::postEvent(
        w->btnNext,
        new QMouseEvent(type, centre, w->btnNext->mapToGlobal(centre), Qt::LeftButton,
                        type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                        Qt::NoModifier));
  w->btnNext->click();  // Save
  WaitForRun(*w);
  EXPECT_TRUE(disabledAtFirstEvent);
  EXPECT_TRUE(w->isVisible()) << "the queued click reached Exit";
  EXPECT_EQ(LogLines(*w),
            QStringList({Line("a.txt", "saved"), Line("b.txt", "saved"), Line("c.txt", "saved")}));
  QTest::mouseClick(w->btnNext, Qt::LeftButton);  // Exit, once the run is over
  EXPECT_FALSE(w->isVisible());
}

// The user clicks and selects in the log while the run writes it: the lines
// still go at the end, whole and in order, and the user's selection stays.
TEST_F(WindowRun, TheLogIsWrittenAtItsEndWhateverTheUserSelects) {
  auto w = OpenOnFilePageAllTicked();
  QString selected;
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, poll, [&, poll] {
    if (!w->reRestoreLog->toPlainText().contains('\n')) return;  // after the first line
    poll->stop();
    poll->deleteLater();
    QTextCursor user(w->reRestoreLog->document());
    user.setPosition(2);
    user.setPosition(5, QTextCursor::KeepAnchor);
    w->reRestoreLog->setTextCursor(user);
    selected = user.selectedText();
  });
  poll->start(0);
  w->btnNext->click();  // Save
  WaitForRun(*w);
  ASSERT_FALSE(selected.isEmpty()) << "the selection was made during the run";
  EXPECT_EQ(LogLines(*w),
            QStringList({Line("a.txt", "saved"), Line("b.txt", "saved"), Line("c.txt", "saved")}));
  EXPECT_EQ(w->reRestoreLog->textCursor().selectedText(), selected);
}

TEST_F(WindowRun, EscapeOnTheLogPageEndsTheProgram) {
  auto w = OpenOnFilePageAllTicked();
  w->btnNext->click();  // Save
  WaitForRun(*w);
  ASSERT_EQ(w->ActivePageIndex(), 3);
  QApplication::setActiveWindow(w.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
  QTest::keyClick(w->reRestoreLog, Qt::Key_Escape);
  EXPECT_FALSE(w->isVisible());
}

}  // namespace
