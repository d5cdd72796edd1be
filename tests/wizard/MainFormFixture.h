#pragma once
// The wizard window offscreen with a drive table and a mount table of the
// test's own: discs are folders below a temporary root, "mounted" by being
// listed in the mount table.

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "FakeDrives.h"
#include "TempDir.h"
#include "support/gui/UrlOpener.h"
#include "wizard/uMain.h"

namespace testsupport {

namespace fs = std::filesystem;

// Answers the next message box as soon as it is up, keeping its text.
inline void AnswerTheBox(QString* text) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, text] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      *text = box->windowTitle() + ": " + box->text();
      box->accept();
    }
  });
  poll->start(10);
}

class MainForm : public ::testing::Test {
 protected:
  MainForm() {
    for (const char* d : {"D", "E", "F", "hdd"}) fs::create_directory(root / d);
    mounts = {Mount("/"), Mount(root / "hdd")};
    table.AddDisk(Designator("hdd"), 10'000'000'000, 50'000'000'000);
  }

  std::string Designator(const char* name) const { return (root / name).string(); }
  static platform::MountEntry Mount(const fs::path& at) {
    platform::MountEntry e;
    e.mountPoint = at;
    return e;
  }
  void InsertDisc(const char* name, std::uint64_t total = 700'000'000) {
    table.AddDisc(Designator(name), std::string("DISC_") + name, total);
    mounts.push_back(Mount(root / name));
  }
  void EjectDisc(const char* name) {
    table.drives[Designator(name)] = FakeDrive{};  // the drive stays, without a disc
    std::erase_if(mounts, [&](const auto& m) { return m.mountPoint == root / name; });
  }

  std::unique_ptr<TMainForm> Open() {
    TMainFormSources sources;
    sources.DriveTable = &table;
    sources.MountTable = [this] { return mounts; };
    sources.WatchDevices = false;
    sources.Io = io;
    sources.Folders = folders;
    auto w = std::make_unique<TMainForm>(sources);
    w->UrlOpener().SetProgram("true");  // no browser: closing opens a web page
    w->show();
    return w;
  }

  // The scan or save started by the last click has ended (its job runs on
  // a worker thread while the window goes on answering).
  static void WaitForRun(const TMainForm& w) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.Running(); }, 60000)) << "the run never ended";
  }

  // Chooses the second listed drive and goes on to the target page.
  static void ChooseSecondAndGoOn(TMainForm& w) {
    w.tvDrive->setCurrentItem(w.tvDrive->topLevelItem(1));
    w.btnNext->click();
    ASSERT_EQ(w.ActivePageIndex(), 1);
  }
  static QStringList Entries(const TMainForm& w) {
    QStringList list;
    for (int i = 0; i < w.tvDrive->topLevelItemCount(); ++i)
      list << w.tvDrive->topLevelItem(i)->text(0);
    return list;
  }
  QString Caption(const char* name) const {
    return QString::fromStdString(Designator(name) + " : DISC_" + name + " [iso9660]");
  }

  testsupport::IsolatedHome home;
  testsupport::TempDir dir;
  fs::path root = fs::canonical(dir.path());
  FakeDriveTable table;
  std::vector<platform::MountEntry> mounts;
  TRestoratorIo io;  // the copier's reads and writes in the window's runs
  platform::IDirectoryEnumerator* folders = &platform::SystemDirectoryEnumerator();  // the scan's
};

}  // namespace testsupport
