#pragma once
// TfMain, the launcher window: it shows the splash, and one second later its
// one-shot timer runs the launch sequence — the update check, the offer of a
// newer version with the installer download, or the start of the main
// program — and then tells the application to end.
//
// The window itself is see-through; only the download bar and its Cancel
// button are seen while an installer comes in.

#include <QList>
#include <QSslCertificate>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <filesystem>
#include <memory>
#include <string>

#include "launcher/HttpClient.h"
#include "launcher/SplashScreen.h"
#include "support/uFunctions.h"

class QProgressBar;
class QPushButton;

// An installer is large and may come slowly, but a server that stops sending
// for half a minute, or takes more than half an hour, is given up on.
inline constexpr launcher::TTransferLimits kInstallerLimits{
    .stall = std::chrono::milliseconds(30000),
    .overall = std::chrono::milliseconds(1800000),
    .maxBytes = qint64{1} << 30};

// Where the launcher looks for its settings and its programs.
struct TLauncherSetup {
  QUrl SettingsUrl;                      // the product site's "/download/settings.bin"
  QList<QSslCertificate> TrustedCAs;     // empty: the system's trust store
  std::filesystem::path LauncherFolder;  // the launcher's own folder (shipped settings copy)
  std::filesystem::path DataFolder;      // the product data folder (stored copy, installer)
};

// The setup of the shipped program: the build's product site, the system's
// trust store, the running program's folder and ProductDataFolder.
TLauncherSetup ShippedLauncherSetup();

class TfMain : public QWidget {
  Q_OBJECT

 public:
  // aQuestion asks the update question (not owned; nullptr: a Qt message box).
  explicit TfMain(TLauncherSetup aSetup, IMessageBox* aQuestion = nullptr);
  ~TfMain() override;

  // The launch sequence; runs once, from Timer1's single tick.
  void Timer1Timer();

  TSplash* Splash() const { return splash.get(); }

 signals:
  // The sequence is over: the application should end.
  void Finished();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  void FormClose();
  void IdHTTP1Work(bool Begins);  // shows or hides the download bar
  void btnCancelClick();
  // Downloads and starts the installer; false when the download failed, the
  // file is not a program for this system, or it could not be started.
  bool DownloadAndStartInstaller(const std::string& SetupURL);
  void UpdateShape();

  TLauncherSetup FSetup;
  IMessageBox* FQuestion;
  std::unique_ptr<IMessageBox> FOwnQuestion;
  launcher::THttpClient IdHTTP1;
  QTimer Timer1;
  QProgressBar* pbProgress;
  QPushButton* btnCancel;
  std::unique_ptr<TSplash> splash;
  bool FRan = false;
  bool FShowProgress = false;  // the installer download shows the bar, the settings one not
};
