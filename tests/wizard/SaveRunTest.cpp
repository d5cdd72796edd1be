// Whole save runs through the window offscreen against a damaged disc served
// by velmora-faultfs: the target's bytes with zeros exactly in the bad
// sectors, the restore log's lines, colours and damage notes, the error
// log's lines, the file manager asked for the target folder, Skip in the
// middle of a file, Cancel during the second of three files, closing the
// window during a run, and the disc gone before Save.

#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <chrono>
#include <optional>
#include <vector>

#include "FaultDisc.h"
#include "MainFormFixture.h"
#include "diagnostics/uMAVLogFile.h"
#include "wizard/RestoreRun.h"
#include "wizard/uSaveProgressForm.h"

namespace {

namespace fs = std::filesystem;
using testsupport::AnswerTheBox;

constexpr std::int64_t kSector = 2048;

std::string Pattern(std::int64_t size, char seed) {
  std::string s(static_cast<std::size_t>(size), '\0');
  for (std::int64_t i = 0; i < size; ++i)
    s[i] = static_cast<char>(seed + (i * 7 + i / 2048) % 50 + 1);
  return s;
}

class SaveRun : public testsupport::MainForm {
 protected:
  void MountDisc(std::chrono::microseconds readDelay = {}) {
    const fs::path source = dir.path() / "source";
    fs::create_directories(source / "a" / "b");
    originals["a/b/x.bin"] = Pattern(40 * kSector, 'A');
    originals["a/y.bin"] = Pattern(300 * kSector + 100, 'B');
    originals["z.bin"] = Pattern(5 * kSector, 'C');
    for (const auto& [name, bytes] : originals) testsupport::WriteFileBytes(source / name, bytes);
    testsupport::FaultDiscOptions options;
    options.readDelay = readDelay;
    // Sectors 3 and 7..8 of x.bin stay unreadable.
    disc.emplace(source, "bad /a/b/x.bin 3s 4s\nbad /a/b/x.bin 7s 9s\n", options);
    table.AddDisc(disc->mountPoint().string(), "SAMPLE");
    mounts.push_back(Mount(disc->mountPoint()));
  }

  std::unique_ptr<TMainForm> OpenOnFilePage() {
    auto w = Open();
    for (int i = 0; i < w->tvDrive->topLevelItemCount(); ++i)
      if (w->tvDrive->topLevelItem(i)->text(0).startsWith(
              QString::fromStdString(disc->mountPoint().string())))
        w->tvDrive->setCurrentItem(w->tvDrive->topLevelItem(i));
    w->btnNext->click();
    w->edtRestoreDir->setText(QString::fromStdString(target.string()));
    w->btnNext->click();
    WaitForRun(*w);
    EXPECT_EQ(w->ActivePageIndex(), 2);
    QObject::connect(&w->UrlOpener(), &TUrlOpener::Finished,
                     [this](const QString& url, int) { opened << url; });
    return w;
  }
  static void Tick(TMainForm& w, const QString& text) {
    // Every row whose text begins so, opening folders on the way.
    QAbstractItemModel* m = w.tvFiles->model();
    std::vector<QModelIndex> pending{m->index(0, 0)};
    while (!pending.empty()) {
      const QModelIndex i = pending.back();
      pending.pop_back();
      if (i.data().toString().startsWith(text)) m->setData(i, Qt::Checked, Qt::CheckStateRole);
      if (m->canFetchMore(i)) m->fetchMore(i);
      for (int r = m->rowCount(i); r > 0; --r) pending.push_back(m->index(r - 1, 0, i));
    }
  }
  static QStringList LogLines(TMainForm& w) {
    QStringList lines = w.reRestoreLog->toPlainText().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
  }
  // The colour of the log's text at the first occurrence of a piece of text.
  static QColor ColourAt(TMainForm& w, const QString& text) {
    QTextCursor c = w.reRestoreLog->document()->find(text);
    if (c.isNull()) return {};
    QTextCursor at(w.reRestoreLog->document());
    at.setPosition(c.selectionStart() + 1);
    return at.charFormat().foreground().color();
  }
  static QString Line(const std::string& name, const std::string& rest) {
    return QString::fromStdString(NameField(name) + rest);
  }
  std::string ErrLog() const { return testsupport::ReadFileBytes(LogFile().FileName()); }

  // Presses a progress window button once the given file is partly saved.
  void PressDuring(const QString& fileEnd, bool skip) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, fileEnd, skip] {
      if (SaveProgressForm && SaveProgressForm->FileName().endsWith(fileEnd) &&
          SaveProgressForm->FileSaved() > 0) {
        poll->stop();
        poll->deleteLater();
        (skip ? SaveProgressForm->btnSkip : SaveProgressForm->btnCancel)->click();
      }
    });
    poll->start(1);
  }

  std::map<std::string, std::string> originals;
  std::optional<testsupport::FaultDisc> disc;
  fs::path target = fs::canonical(dir.path()) / "hdd" / "restored";
  QStringList opened;
};

TEST_F(SaveRun, SavesTheTickedFilesWithZerosInTheBadSectorsAndSaysSo) {
  MountDisc();
  auto w = OpenOnFilePage();
  Tick(*w, "a");
  Tick(*w, "z.bin");
  w->btnNext->click();  // Save
  WaitForRun(*w);
  EXPECT_EQ(w->ActivePageIndex(), 3);
  EXPECT_EQ(LogLines(*w),
            QStringList({Line("a/b/x.bin", "saved (3 unreadable sectors filled with zeros)"),
                         Line("a/y.bin", "saved"), Line("z.bin", "saved")}));
  std::string expected = originals["a/b/x.bin"];
  for (int s : {3, 7, 8}) expected.replace(s * kSector, kSector, std::string(kSector, '\0'));
  EXPECT_TRUE(testsupport::ReadFileBytes(target / "a/b/x.bin") == expected)
      << "zeros exactly in sectors 3, 7 and 8";
  EXPECT_TRUE(testsupport::ReadFileBytes(target / "a/y.bin") == originals["a/y.bin"]);
  EXPECT_TRUE(testsupport::ReadFileBytes(target / "z.bin") == originals["z.bin"]);
  EXPECT_EQ(ColourAt(*w, "a/b/x.bin"), QColor(2, 80, 125));
  EXPECT_EQ(ColourAt(*w, "saved"), QColor(0, 128, 0));
  EXPECT_EQ(ColourAt(*w, "3 unreadable"), QColor(255, 0, 0));
  EXPECT_EQ(SaveProgressForm, nullptr) << "the progress window is gone after the run";
  EXPECT_TRUE(w->btnNext->isEnabled());
  EXPECT_EQ(w->btnNext->text(), "Exit  ");
  ASSERT_TRUE(
      QTest::qWaitFor([this] { return !opened.isEmpty(); }, 30000));  // the opener ends on its own
  EXPECT_EQ(opened, QStringList({QString::fromStdString(target.string())}));
}

TEST_F(SaveRun, SkipInTheMiddleOfAFileGoesOnWithTheNext) {
  MountDisc(std::chrono::milliseconds(5));
  auto w = OpenOnFilePage();
  Tick(*w, "a");
  Tick(*w, "z.bin");
  PressDuring("y.bin", true);
  w->btnNext->click();
  WaitForRun(*w);
  EXPECT_EQ(LogLines(*w),
            QStringList({Line("a/b/x.bin", "saved (3 unreadable sectors filled with zeros)"),
                         Line("a/y.bin", "skipped"), Line("z.bin", "saved")}));
  EXPECT_LT(fs::file_size(target / "a/y.bin"), originals["a/y.bin"].size());
  EXPECT_EQ(ColourAt(*w, "skipped"), QColor(255, 0, 0));
  EXPECT_NE(ErrLog().find("  File \"y.bin\" is skipped.\r\n"), std::string::npos);
}

TEST_F(SaveRun, CancelDuringTheSecondOfThreeEndsTheRunAndStillOpensTheFolder) {
  MountDisc(std::chrono::milliseconds(5));
  auto w = OpenOnFilePage();
  Tick(*w, "a");
  Tick(*w, "z.bin");
  PressDuring("y.bin", false);
  w->btnNext->click();
  WaitForRun(*w);
  EXPECT_EQ(LogLines(*w),
            QStringList({Line("a/b/x.bin", "saved (3 unreadable sectors filled with zeros)"),
                         Line("a/y.bin", "canceled")}));
  EXPECT_FALSE(fs::exists(target / "z.bin"));
  EXPECT_NE(ErrLog().find("  File \"y.bin\" is canceled.\r\n"), std::string::npos);
  ASSERT_TRUE(QTest::qWaitFor([this] { return !opened.isEmpty(); }, 30000));
  EXPECT_EQ(opened.size(), 1);
}

TEST_F(SaveRun, ClosingDuringARunCancelsItAndClosesAfterwards) {
  MountDisc(std::chrono::milliseconds(5));
  auto w = OpenOnFilePage();
  Tick(*w, "a");
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, &w] {
    if (SaveProgressForm && SaveProgressForm->FileSaved() > 0) {
      poll->stop();
      poll->deleteLater();
      w->close();
    }
  });
  poll->start(1);
  w->btnNext->click();
  WaitForRun(*w);
  EXPECT_FALSE(w->isVisible()) << "closed once the run had ended";
  ASSERT_EQ(LogLines(*w).size(), 1);
  EXPECT_EQ(LogLines(*w)[0], Line("a/b/x.bin", "canceled"));
}

TEST_F(SaveRun, ADiscGoneBeforeSaveReturnsToTheDrivePageAndKeepsTheLog) {
  MountDisc();
  auto w = OpenOnFilePage();
  Tick(*w, "z.bin");
  w->btnNext->click();
  WaitForRun(*w);
  ASSERT_EQ(LogLines(*w), QStringList({Line("z.bin", "saved")}));
  w->btnPrev->click();
  ASSERT_EQ(w->ActivePageIndex(), 2);
  disc->unmount();
  std::erase_if(mounts, [&](const auto& m) { return m.mountPoint == disc->mountPoint(); });
  QString said;
  AnswerTheBox(&said);
  w->btnNext->click();
  EXPECT_TRUE(said.contains(" is not available.\r\n\r\nInsert disk into a drive"))
      << said.toStdString();
  EXPECT_EQ(w->ActivePageIndex(), 0);
  EXPECT_EQ(LogLines(*w), QStringList({Line("z.bin", "saved")}));
  EXPECT_NE(ErrLog().find(" is not available.\r\n\r\n"), std::string::npos) << ErrLog();
}

TEST_F(SaveRun, AnotherDiscInTheDriveSinceTheScanIsADriveError) {
  MountDisc();
  auto w = OpenOnFilePage();
  Tick(*w, "z.bin");
  table.AddDisc(disc->mountPoint().string(), "ANOTHER_DISC");
  QString said;
  AnswerTheBox(&said);
  w->btnNext->click();
  EXPECT_TRUE(said.contains(" is not available.")) << said.toStdString();
  EXPECT_EQ(w->ActivePageIndex(), 0);
  EXPECT_FALSE(fs::exists(target / "z.bin"));
}

}  // namespace
