// VelmoraFreeLauncher: shows the splash, checks for a newer version and
// starts the installer or the main program, then ends.

#include <QApplication>
#include <QSslCertificate>

#include "launcher/UTLauncherErrorMessage.h"
#include "launcher/uMain.h"
#include "support/gui/QtMessageBox.h"
#include "support/uFunctions.h"

namespace {

TLauncherSetup Setup() {
  TLauncherSetup setup = ShippedLauncherSetup();
#ifdef VELMORA_LAUNCHER_TEST_SEAMS
  // Only the test build of the launcher takes its site and its certificate
  // authority from the environment; the shipped program reads no configuration.
  if (qEnvironmentVariableIsSet("VELMORA_TEST_SETTINGS_URL")) {
    setup.SettingsUrl = QUrl(qEnvironmentVariable("VELMORA_TEST_SETTINGS_URL"));
  }
  if (qEnvironmentVariableIsSet("VELMORA_TEST_CA_FILE")) {
    setup.TrustedCAs = QSslCertificate::fromPath(qEnvironmentVariable("VELMORA_TEST_CA_FILE"));
  }
#endif
  return setup;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VelmoraFreeLauncher"));
  InstallLauncherErrorMessage();
  InstallQtMessageBox();
  InitProductDataFolder();
  TfMain fMain(Setup());
  QObject::connect(&fMain, &TfMain::Finished, &app, &QApplication::quit, Qt::QueuedConnection);
  fMain.show();
  return app.exec();
}
