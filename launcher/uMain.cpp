#include "launcher/uMain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "launcher/InstallerName.h"
#include "launcher/ProcessStart.h"
#include "launcher/SettingsDocument.h"
#include "launcher/SettingsLoader.h"
#include "platform/ProgramFile.h"
#include "support/ProductSite.h"
#include "support/gui/QtMessageBox.h"
#include "support/uFileVersion.h"
#include "support/uWorkWithRegistry.h"

namespace {

using launcher::EDownloadError;

constexpr int kWidth = 430;
constexpr int kHeight = 285;
constexpr int kBarHeight = 16;
constexpr int kCancelWidth = 76;
constexpr int kCancelHeight = 24;

const char* const kProductKey = "\\Software\\Velmora Free";
const char* const kMainProgramName = "VelmoraFree";

std::filesystem::path LocalPath(const QString& path) {
  return std::filesystem::path(path.toStdString());
}

}  // namespace

TLauncherSetup ShippedLauncherSetup() {
  return {.SettingsUrl = QUrl(QString::fromUtf8(support::ProductSite) +
                              QStringLiteral("/download/settings.bin")),
          .TrustedCAs = {},
          .LauncherFolder = LocalPath(QCoreApplication::applicationDirPath()),
          .DataFolder = std::filesystem::path(ProductDataFolder)};
}

TfMain::TfMain(TLauncherSetup aSetup, IMessageBox* aQuestion)
    : QWidget(nullptr, Qt::FramelessWindowHint),
      FSetup(std::move(aSetup)),
      FQuestion(aQuestion),
      IdHTTP1(FSetup.TrustedCAs),
      pbProgress(new QProgressBar(this)),
      btnCancel(new QPushButton(QStringLiteral("Cancel"), this)) {
  if (!FQuestion) {
    FOwnQuestion = std::make_unique<TQtMessageBox>();
    FQuestion = FOwnQuestion.get();
  }
  setObjectName(QStringLiteral("fMain"));
  setAttribute(Qt::WA_TranslucentBackground);
  setFixedSize(kWidth, kHeight);
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(10);
  setFont(font);

  // Marquee: a moving bar, since an installer's length is often not known.
  pbProgress->setRange(0, 0);
  pbProgress->setTextVisible(false);
  pbProgress->setGeometry(0, kHeight - kBarHeight, kWidth - kCancelWidth - 4, kBarHeight);
  pbProgress->setAccessibleName(QStringLiteral("Download progress"));
  pbProgress->hide();
  btnCancel->setGeometry(kWidth - kCancelWidth, kHeight - kCancelHeight, kCancelWidth,
                         kCancelHeight);
  btnCancel->setAccessibleName(QStringLiteral("Cancel"));
  btnCancel->hide();
  connect(btnCancel, &QPushButton::clicked, this, &TfMain::btnCancelClick);

  Timer1.setSingleShot(true);
  Timer1.setInterval(1000);
  connect(&Timer1, &QTimer::timeout, this, &TfMain::Timer1Timer);
  IdHTTP1.OnWork = [this](bool begins) { IdHTTP1Work(begins); };
  FormCreate();
}

TfMain::~TfMain() = default;

void TfMain::FormCreate() {
  setWindowTitle(QStringLiteral("Velmora Free Launcher"));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(SplashTopLeft(screen->virtualGeometry(), size()));
  }
  UpdateShape();
  // A splash that cannot be shown never stops the launch.
  const QImage logo(QStringLiteral(":/logo"));
  if (logo.isNull()) {
    WriteErrorMessage(edsSilent, AID_Launcher, 1, "Exception : The splash picture can't be read");
  } else {
    splash = std::make_unique<TSplash>(logo);
    splash->Show(false);
  }
  Timer1.start();
}

void TfMain::closeEvent(QCloseEvent* event) {
  FormClose();
  QWidget::closeEvent(event);
}

void TfMain::FormClose() {
  // Closed before the tick: nothing is fetched or started.
  Timer1.stop();
  IdHTTP1.Cancel();
  if (splash) splash->Close();
  splash.reset();
}

void TfMain::IdHTTP1Work(bool Begins) {
  // Only the installer download shows the bar (its Cancel button is shown
  // with it); the settings download is quick and silent.
  if (!FShowProgress) return;
  pbProgress->setVisible(Begins);
  btnCancel->setVisible(Begins);
  UpdateShape();
}

void TfMain::btnCancelClick() { IdHTTP1.Cancel(); }

void TfMain::UpdateShape() {
  // Only the bar row is part of the window while it is seen; otherwise a
  // single pixel, so no black box appears where nothing composes the window.
  if (pbProgress->isVisible()) {
    setMask(QRegion(pbProgress->geometry()).united(btnCancel->geometry()));
  } else {
    setMask(QRegion(0, 0, 1, 1));
  }
}

bool TfMain::DownloadAndStartInstaller(const std::string& SetupURL) {
  const std::filesystem::path installer =
      FSetup.DataFolder / launcher::GetFileNameFromURL(SetupURL);
  const QString path = QString::fromStdString(installer.string());
  FShowProgress = true;
  try {
    if (!QDir().mkpath(QString::fromStdString(FSetup.DataFolder.string()))) {
      throw EDownloadError("Can't create \"" + FSetup.DataFolder.string() + "\"");
    }
    IdHTTP1.GetToFile(QUrl(QString::fromStdString(SetupURL)), path, kInstallerLimits);
    // Only a program is made executable and started: an error page or a
    // file for another system is removed again.
    if (const auto notAProgram = platform::WhyNotAProgram(installer.string())) {
      QFile::remove(path);
      throw EDownloadError(*notAProgram + ": \"" + SetupURL + "\"");
    }
  } catch (const std::exception& error) {
    FShowProgress = false;
    // The user asked for the download: a failure is told, not only logged;
    // a Cancel of the user's own needs no box.
    WriteErrorMessage(IdHTTP1.Cancelled() ? edsSilent : edsError, AID_Launcher, 1,
                      launcher::ErrorReportText(error));
    return false;
  }
  FShowProgress = false;
  // Executable only now that it is complete, and for this user alone.
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  if (const auto failure = launcher::StartProgram(installer.string())) {
    // The user is not left without a program: the installed one starts.
    WriteErrorMessage(edsError, AID_Launcher, 3, *failure);
    return false;
  }
  return true;
}

void TfMain::Timer1Timer() {
  Timer1.stop();
  if (FRan) return;
  FRan = true;
  bool launchMain = true;
  const std::string installFolder = RegistryUtils::GetStrValueDef(
      kProductKey, "InstallPath", AddTrailingBackslash(FSetup.LauncherFolder.string()));
  const std::string mainProgram = AddTrailingBackslash(installFolder) + kMainProgramName;
  try {
    const launcher::TLoadedSettings settings = launcher::LoadSettings(
        IdHTTP1, FSetup.SettingsUrl, FSetup.DataFolder, FSetup.LauncherFolder);
    if (!settings.Text.empty()) {
      launcher::TProductEntry published;
      const bool listed = launcher::ParseSettings(settings.Text, published);
      const std::string installed = GetFileVersion(mainProgram);
      // Only a settings archive fetched in this very run leads to an offer,
      // and only one that lists the product: without an entry there is no
      // installer to offer, even when no main program is installed.
      if (listed && settings.Downloaded &&
          launcher::CompareVersions(installed, published.Version) > 0) {
        const std::string question =
            std::string("New version of ") + launcher::kProductName +
            " available.\r\nWould you like to download and install it now?";
        if (FQuestion->Show(edsConfirmation, question) == mrYes) {
          launchMain = false;
          // A failed download or start runs the installed program as after No.
          launchMain = !DownloadAndStartInstaller(published.SetupURL);
        }
      }
    }
  } catch (const std::exception& error) {
    WriteErrorMessage(edsSilent, AID_Launcher, 1, launcher::ErrorReportText(error));
  }
  hide();
  if (launchMain) {
    if (const auto failure = launcher::StartProgram(mainProgram)) {
      WriteErrorMessage(edsError, AID_Launcher, 4, *failure);
    }
  }
  emit Finished();
}
