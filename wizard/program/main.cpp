// VelmoraFree: the recovery wizard.

#include <QApplication>

#include "support/gui/QtMessageBox.h"
#include "support/uCDErrorMessage.h"
#include "support/uFunctions.h"
#include "wizard/uMain.h"

int main(int argc, char** argv) {
  InstallCDErrorMessage();
  InitProductDataFolder();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VelmoraFree"));
  QApplication::setDesktopFileName(QStringLiteral("velmora-free"));
  InstallQtMessageBox();
  TMainForm MainForm;
  MainForm.show();
  return QApplication::exec();
}
