// The file page on a mounted disc, through the real wizard window (offscreen):
// chooses the drive mounted at MOUNT, sets the target folder, presses Next and
// waits until the file page shows the disc's tree with its rows painted.
// Prints one line of JSON: the seconds from the press to the shown tree, the
// resident size before the press and the peak (VmHWM, reset just before the
// press) in KiB.
//
//   QT_QPA_PLATFORM=offscreen filepage-bench MOUNT TARGET

#include <QAbstractItemModel>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "support/gui/QtMessageBox.h"
#include "wizard/WizardApplication.h"
#include "wizard/uMain.h"

namespace {

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM").
long StatusKib(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  return -1;
}

bool WaitFor(const std::function<bool()>& done, int seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

int Fail(const char* what) {
  std::fprintf(stderr, "filepage-bench: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Fail("usage: filepage-bench MOUNT TARGET");
  const QString mount = QString::fromLocal8Bit(argv[1]);
  TWizardApplication app(argc, argv);
  InstallQtMessageBox();
  TMainForm w;
  w.show();
  const auto ourDrive = [&]() -> QTreeWidgetItem* {
    for (int i = 0; i < w.tvDrive->topLevelItemCount(); ++i)
      if (w.tvDrive->topLevelItem(i)->text(0).startsWith(mount + " "))
        return w.tvDrive->topLevelItem(i);
    return nullptr;
  };
  if (!WaitFor([&] { return ourDrive() != nullptr; }, 20)) return Fail("the disc is not listed");
  w.tvDrive->setCurrentItem(ourDrive());
  w.btnNext->click();
  if (!WaitFor([&] { return w.ActivePageIndex() == 1; }, 20)) return Fail("no target page");
  w.edtRestoreDir->setText(QString::fromLocal8Bit(argv[2]));
  if (!WaitFor([&] { return w.btnNext->isEnabled(); }, 20)) return Fail("the target is refused");
  QApplication::processEvents();

  std::ofstream("/proc/self/clear_refs") << "5";  // VmHWM starts again from VmRSS
  const long before = StatusKib("VmRSS");
  const auto start = std::chrono::steady_clock::now();
  w.btnNext->click();
  const bool shown = WaitFor(
      [&] {
        return w.ActivePageIndex() == 2 && w.tvFiles->isVisible() &&
               w.tvFiles->model()->rowCount() > 0 &&
               w.tvFiles->model()->rowCount(w.tvFiles->model()->index(0, 0)) > 0;
      },
      3600);
  if (!shown) return Fail("the file page did not show the tree");
  w.tvFiles->viewport()->repaint();  // the rows painted, as the user sees them
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("{\"seconds\": %.3f, \"rss_before_kib\": %ld, \"hwm_kib\": %ld}\n", seconds, before,
              StatusKib("VmHWM"));
  std::fflush(stdout);
  return 0;
}
