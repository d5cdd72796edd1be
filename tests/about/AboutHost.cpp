// A small stand-in for the main window, for the end-to-end test of the
// About dialog: a window whose Help menu has About, started the way the
// main program starts (product data folder, message object, message box).

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>

#include "reports/gui/uAbout.h"
#include "support/gui/QtMessageBox.h"
#include "support/uCDErrorMessage.h"
#include "support/uFunctions.h"

int main(int argc, char** argv) {
  InstallCDErrorMessage();
  InitProductDataFolder();
  QApplication app(argc, argv);
  // The name the main program has, so that the same test script finds either.
  QApplication::setApplicationName(QStringLiteral("VelmoraFree"));
  InstallQtMessageBox();

  QMainWindow window;
  window.setWindowTitle(QStringLiteral("Velmora Free"));
  window.setCentralWidget(new QLabel(QStringLiteral("About dialog test host"), &window));
  QMenu* help = window.menuBar()->addMenu(QStringLiteral("&Help"));
  QAction* about = help->addAction(QStringLiteral("&About"));
  QObject::connect(about, &QAction::triggered, &window, [&window] { ShowAboutDialog(&window); });
  window.resize(640, 400);
  window.show();
  return QApplication::exec();
}
