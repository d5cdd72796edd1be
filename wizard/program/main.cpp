// VelmoraFree: the recovery wizard.

#include <QApplication>

#include "support/gui/QtMessageBox.h"
#include "support/uCDErrorMessage.h"
#include "support/uFunctions.h"
#include "wizard/WizardApplication.h"
#include "wizard/uMain.h"

int main(int argc, char** argv) {
  InstallCDErrorMessage();
  InitProductDataFolder();
  TWizardApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VelmoraFree"));
  QApplication::setDesktopFileName(QStringLiteral("velmora-free"));
  InstallQtMessageBox();
  TMainForm MainForm;
  app.SetExceptionHandler(
      [&MainForm](std::exception_ptr e) { MainForm.ApplicationEvents1Exception(e); });
  MainForm.show();
  return QApplication::exec();
}
