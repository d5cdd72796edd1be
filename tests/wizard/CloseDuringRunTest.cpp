// Closing the window during a save, at every moment of the run: the close is
// always the progress window's Cancel, the restore log and the error log are
// written, the window closes once the job has ended, and no file the close
// interrupted is reported saved. The copier reads through a fault injector
// whose failed reads block, so that "inside a read" is a real moment.

#include <QTextEdit>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "FaultInjector.h"
#include "MainFormFixture.h"
#include "wizard/RestoreRun.h"
#include "wizard/uOverwriteDialogForm.h"
#include "wizard/uSaveProgressForm.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
constexpr std::int64_t kSector = 2048;

// Counts the window's hide events: a window closed twice would hide once,
// so the closing page the close opens is counted too.
class HideCounter : public QObject {
 public:
  int hides = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Hide) ++hides;
    return false;
  }
};

// Holds the copier's first open until the test lets it go, so that a close
// can come before the first file for certain.
class GateOpener : public platform::IUnbufferedOpener {
 public:
  explicit GateOpener(platform::IUnbufferedOpener& inner) : FInner(inner) {}
  std::unique_ptr<platform::IUnbufferedFile> Open(const std::filesystem::path& path,
                                                  std::string& error) override {
    std::unique_lock lock(FMutex);
    FOpened.wait(lock, [this] { return FOpen; });
    return FInner.Open(path, error);
  }
  void Let(bool open) {
    const std::lock_guard lock(FMutex);
    FOpen = open;
    FOpened.notify_all();
  }

 private:
  platform::IUnbufferedOpener& FInner;
  std::mutex FMutex;
  std::condition_variable FOpened;
  bool FOpen = true;
};

class CloseDuringRun : public testsupport::MainForm {
 protected:
  // Disc D holds a.bin (good), b.bin (sector 1 bad, each failed read blocks)
  // and c.bin (good); the target already holds c.bin when asked.
  void MakeDisc(bool cExists) {
    InsertDisc("D");
    const fs::path d = root / "D";
    for (const char* name : {"a.bin", "b.bin", "c.bin"}) {
      testsupport::WriteFileBytes(d / name, std::string(4 * kSector, name[0]));
      injector.AddDiskFile(d / name, d / name,
                           name[0] == 'b' ? std::vector<testsupport::BadSector>{{.sector = 1}}
                                          : std::vector<testsupport::BadSector>{});
    }
    injector.DelayFailures(d / "b.bin", 400ms);
    fs::create_directories(target);
    if (cExists) testsupport::WriteFileBytes(target / "c.bin", "old");
    io.Opener = &gate;
  }
  std::unique_ptr<TMainForm> OnFilePage() {
    auto w = Open();
    w->installEventFilter(&hides);
    for (int i = 0; i < w->tvDrive->topLevelItemCount(); ++i)
      if (w->tvDrive->topLevelItem(i)->text(0).startsWith(QString::fromStdString(Designator("D"))))
        w->tvDrive->setCurrentItem(w->tvDrive->topLevelItem(i));
    w->btnNext->click();
    w->edtRestoreDir->setText(QString::fromStdString(target.string()));
    w->btnNext->click();
    WaitForRun(*w);
    EXPECT_EQ(w->ActivePageIndex(), 2);
    w->tvFiles->model()->setData(w->tvFiles->model()->index(0, 0), Qt::Checked,
                                 Qt::CheckStateRole);  // the whole disc
    return w;
  }
  std::string ErrLog() const {
    const fs::path log = LogFile().FileName();
    return fs::exists(log) ? testsupport::ReadFileBytes(log) : "";
  }

  testsupport::FaultInjector injector;
  GateOpener gate{injector};
  fs::path target = root / "hdd" / "restored";
  HideCounter hides;
};

struct CloseCase {
  const char* name;
  bool cExists;
  // Waits, on the window's thread, for the moment of the close.
  std::function<bool(CloseDuringRun&, TMainForm&)> moment;
  QStringList words;  // each listed file's outcome, as far as the run went
  bool holdFirstOpen = false;
};

class CloseAt : public CloseDuringRun, public ::testing::WithParamInterface<CloseCase> {
 public:
  bool Blocked() const { return injector.Blocking(root / "D" / "b.bin") > 0; }
};

QStringList Words(TMainForm& w) {
  QStringList words;
  for (const QString& line : w.reRestoreLog->toPlainText().split('\n', Qt::SkipEmptyParts))
    words << line.section(" : ", 1).trimmed();
  return words;
}

TEST_P(CloseAt, AlwaysCancelsWritesTheLogAndClosesOnce) {
  MakeDisc(GetParam().cExists);
  auto w = OnFilePage();
  gate.Let(!GetParam().holdFirstOpen);
  w->btnNext->click();  // Save
  // A timer, not a wait here: the overwrite question runs an event loop of
  // its own, inside which only timers and events are seen.
  QTimer poll;
  bool closed = false;
  QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
    if (closed || (GetParam().moment && !GetParam().moment(*this, *w))) return;
    closed = true;
    w->close();
  });
  if (GetParam().moment) {
    poll.start(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed; }, 20000));
  } else {
    closed = true;
    w->close();
  }
  gate.Let(true);
  WaitForRun(*w);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w->isVisible(); }, 5000));
  QTest::qWait(50);
  EXPECT_EQ(hides.hides, 1) << "closed once";
  EXPECT_EQ(Words(*w), GetParam().words);
  EXPECT_EQ(SaveProgressForm, nullptr);
  if (GetParam().words.contains("canceled")) {
    EXPECT_NE(ErrLog().find(" is canceled.\r\n"), std::string::npos) << ErrLog();
  }
}

bool InsideRead(CloseDuringRun& f, TMainForm&) { return static_cast<CloseAt&>(f).Blocked(); }

INSTANTIATE_TEST_SUITE_P(
    Moments, CloseAt,
    ::testing::Values(
        CloseCase{.name = "BeforeTheFirstFile",
                  .cExists = false,
                  .moment = {},
                  .words = {"canceled"},
                  .holdFirstOpen = true},
        CloseCase{.name = "InsideARead",
                  .cExists = false,
                  .moment = InsideRead,
                  .words = {"saved", "canceled"}},
        CloseCase{
            .name = "InsideTheOverwriteQuestion",
            .cExists = true,
            .moment =
                [](CloseDuringRun&, TMainForm&) {
                  return qobject_cast<TOverwriteDialogForm*>(QApplication::activeModalWidget()) !=
                         nullptr;
                },
            // c is last: the question closed without an answer keeps it
            .words = {"saved", "saved (1 unreadable sector filled with zeros)", "already exists"}},
        CloseCase{
            .name = "BetweenTwoFiles",
            .cExists = false,
            .moment = [](CloseDuringRun&,
                         TMainForm& w) { return !Words(w).isEmpty() && Words(w)[0] == "saved"; },
            .words = {"saved", "canceled"}},
        CloseCase{.name = "AfterTheLastFile",
                  .cExists = false,
                  .moment = [](CloseDuringRun&, TMainForm& w) { return Words(w).size() == 3; },
                  .words = {"saved", "saved (1 unreadable sector filled with zeros)", "saved"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
