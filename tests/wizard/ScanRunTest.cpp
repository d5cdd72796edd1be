// The disc scan as a job: the counts of folders and files found so far, at
// most ten times a second; Cancel back to the target page with nothing
// changed; an error in the scan shown as every unhandled error is.

#include <QLabel>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "MainFormFixture.h"
#include "wizard/ScanJob.h"
#include "wizard/uScanProgressForm.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The system's listing, slowed down as a disc is, or failing.
class SlowFolders : public platform::IDirectoryEnumerator {
 public:
  std::chrono::milliseconds delay{0};
  bool fail = false;
  bool List(const fs::path& folder, std::vector<platform::DirectoryEntry>& entries) override {
    std::this_thread::sleep_for(delay);
    if (fail) throw std::runtime_error("The disc could not be listed.");
    return platform::SystemDirectoryEnumerator().List(folder, entries);
  }
};

class ScanRun : public testsupport::MainForm {
 protected:
  // Disc D: 20 folders of 5 files each, and one file at the top.
  ScanRun() {
    InsertDisc("D");
    for (int f = 0; f < 20; ++f) {
      fs::create_directories(root / "D" / ("f" + std::to_string(f)));
      for (int i = 0; i < 5; ++i)
        testsupport::WriteFileBytes(root / "D" / ("f" + std::to_string(f)) / std::to_string(i),
                                    "x");
    }
    testsupport::WriteFileBytes(root / "D" / "top.txt", "t");
    folders = &slow;
  }
  std::unique_ptr<TMainForm> StartScan() {
    auto w = Open();
    w->btnNext->click();
    w->edtRestoreDir->setText(QString::fromStdString(Designator("hdd") + "/out"));
    w->btnNext->click();
    return w;
  }
  SlowFolders slow;
};

TEST_F(ScanRun, ShowsTheCountsAndCancelReturnsToTheTargetPage) {
  slow.delay = 40ms;
  auto w = StartScan();
  TScanProgressForm* form = nullptr;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        form = w->findChild<TScanProgressForm*>();
        return form && form->lblFiles->text() != "Files found: 0";
      },
      10000));
  EXPECT_TRUE(form->lblFolders->text().startsWith("Folders found: "));
  EXPECT_EQ(form->lblFiles->textFormat(), Qt::PlainText);
  EXPECT_TRUE(w->Running());
  form->btnCancel->click();
  EXPECT_EQ(form->btnCancel->text(), QString::fromUtf8("Cancelling\u2026"));
  EXPECT_FALSE(form->btnCancel->isEnabled());
  WaitForRun(*w);
  EXPECT_EQ(w->ActivePageIndex(), 1);
  EXPECT_EQ(w->tvFiles->model()->rowCount(), 0) << "no tree from a cancelled scan";
  EXPECT_EQ(w->findChild<TScanProgressForm*>(), nullptr);
  EXPECT_TRUE(w->btnNext->isEnabled());
}

TEST_F(ScanRun, AFinishedScanShowsTheTree) {
  slow.delay = 5ms;
  auto w = StartScan();
  WaitForRun(*w);
  EXPECT_EQ(w->ActivePageIndex(), 2);
  ASSERT_EQ(w->tvFiles->model()->rowCount(), 1);
  EXPECT_EQ(w->tvFiles->model()->rowCount(w->tvFiles->model()->index(0, 0)), 21);
}

TEST_F(ScanRun, AnErrorInTheScanIsShownAndTheWizardStays) {
  slow.fail = true;
  QString said;
  testsupport::AnswerTheBox(&said);
  auto w = StartScan();
  WaitForRun(*w);
  EXPECT_EQ(said, "Error: The disc could not be listed.");
  EXPECT_EQ(w->ActivePageIndex(), 1);
}

TEST_F(ScanRun, TheJobCountsEveryEntryAndSendsAtMostTenTimesASecond) {
  slow.delay = 10ms;
  std::vector<TScanCounts> sent;
  TScanJob job(root / "D", slow, [&](TScanCounts c) { sent.push_back(c); });
  bool done = false;
  job.OnFinished = [&](std::exception_ptr) { done = true; };
  const auto start = std::chrono::steady_clock::now();
  job.Start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 20000));
  const auto took = std::chrono::steady_clock::now() - start;
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back().Folders, 20);
  EXPECT_EQ(sent.back().Files, 101);
  EXPECT_LE(static_cast<long>(sent.size()), took / TScanJob::CountsInterval + 2);
  auto tree = job.TakeResult();
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(tree->Count(), 21);
}

}  // namespace
