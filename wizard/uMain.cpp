#include "wizard/uMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSocketNotifier>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <filesystem>
#include <system_error>

#include "diagnostics/uMAVCallStack.h"
#include "diagnostics/uMAVLogFile.h"
#include "engine/Drives.h"
#include "reports/gui/uAbout.h"
#include "support/gui/UrlOpener.h"
#include "support/uFileVersion.h"
#include "support/uFunctions.h"
#include "support/uMAVRegFile.h"
#include "support/uSysPath.h"
#include "wizard/DriveList.h"
#include "wizard/FileTreeModel.h"
#include "wizard/Glyphs.h"
#include "wizard/HelpWindow.h"
#include "wizard/Job.h"
#include "wizard/RestoreRun.h"
#include "wizard/TargetInfo.h"
#include "wizard/WebLinks.h"
#include "wizard/WizardButtons.h"
#include "wizard/WizardPages.h"
#include "wizard/uDiskInfoFrame.h"
#include "wizard/uMAVDialogs.h"
#include "wizard/uSaveProgressForm.h"

namespace {

constexpr int kDesignatorRole = Qt::UserRole;  // a drive entry keeps its designator, no address

// Pushes a named frame on entry and pops it on normal exit only, so that the
// frame stays behind for the error log when an error escapes.
class TTraceFrame {
 public:
  explicit TTraceFrame(const char* name) { CallStack().Push(name); }
  void Done() { CallStack().Pop(); }
};

}  // namespace

TMainForm::TMainForm(TMainFormSources sources, QWidget* parent)
    : QMainWindow(parent), FSources(std::move(sources)) {
  InitWizardResources();
  setObjectName(QStringLiteral("MainForm"));
  FOpener = new TUrlOpener(this);
  FHelp = new THelp(this);
  BuildMenu();
  BuildPages();
  BuildBottomPanel();
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(pcPages, 1);
  layout->addWidget(pnlBottomMain);
  setCentralWidget(central);
  resize(632, 514 + menuBar()->sizeHint().height());
  setMinimumSize(640, 522);

  FDriveListChanged = true;
  SettingsStore().SetRoot("Software\\Velmora Free");
  CallStack().Clear();
  FShowedDrive.clear();
  RestoreSettings();
  cpNoDrive->setText(
      QStringLiteral("There are no CD/DVD/Blu-Ray drives for restore operation. You should insert "
                     "CD/DVD/Blu-Ray disk into CD-ROM drive"));
  lblFreeSpaceNotEnough->clear();
  UpdateDrives(*FSources.DriveTable);
  FDir = std::make_unique<TCustomDir>();
  FDir->SetAttr(faVolumeId);

  ConnectHandlers();
  FormCreate();
  if (FSources.WatchDevices) WatchDevices();
}

TMainForm::~TMainForm() {
  delete FJob;  // stops and joins a job still running before what it uses goes
  FJob = nullptr;
  FDir.reset();
  StoreSettings();
}

void TMainForm::ConnectHandlers() {
  connect(btnNext, &QPushButton::clicked, this, &TMainForm::btnNextClick);
  connect(btnPrev, &QPushButton::clicked, this, &TMainForm::btnPrevClick);
  connect(btnCancel, &QPushButton::clicked, this, &TMainForm::btnCancelClick);
  connect(btnHowItWorks, &QPushButton::clicked, this, &TMainForm::btnHowItWorksClick);
  connect(btnYouTube, &QPushButton::clicked, this, &TMainForm::btnYouTubeClick);
  connect(miExit, &QAction::triggered, this, &TMainForm::miExitClick);
  connect(miVelmoraHelp, &QAction::triggered, this, &TMainForm::miVelmoraHelpClick);
  connect(miVelmoraontheWeb, &QAction::triggered, this, &TMainForm::miVelmoraontheWebClick);
  connect(miAbout, &QAction::triggered, this, &TMainForm::miAboutClick);
  connect(pcPages, &QStackedWidget::currentChanged, this, &TMainForm::pcPagesChange);
  // The selection, not the current row: a screen reader may select without moving.
  connect(tvDrive, &QTreeWidget::itemSelectionChanged, this, &TMainForm::tvDriveChange);
  connect(edtRestoreDir, &QLineEdit::textChanged, this, &TMainForm::edtRestoreDirChange);
  connect(btnBrowse, &QToolButton::clicked, this, &TMainForm::btnBrowseClick);
  connect(btnCheckAll, &QPushButton::clicked, this, &TMainForm::btnCheckAllClick);
  connect(btnUncheckAll, &QPushButton::clicked, this, &TMainForm::btnUncheckAllClick);
  connect(FFilesModel, &TFileTreeModel::Toggled, this, &TMainForm::tvFilesToggled);
  connect(tvFiles, &QTreeView::collapsed, this, &TMainForm::tvFilesCollapsed);
}

void TMainForm::WatchDevices() {
  try {
    FNotifier = std::make_unique<platform::DeviceNotifier>();
  } catch (const std::exception& e) {
    // Without notices the list stays as found at start; the program still works.
    WriteErrorMessage(edsSilent, AID_Velmora_Free, 0, std::string("[DeviceNotifier] ") + e.what());
    return;
  }
  FDeviceSocket = new QSocketNotifier(FNotifier->FileDescriptor(), QSocketNotifier::Read, this);
  connect(FDeviceSocket, &QSocketNotifier::activated, this, [this] {
    if (FNotifier->ReadEvents()) DeviceChanged();
  });
}

void TMainForm::FormCreate() {
  setWindowTitle(QStringLiteral("Velmora Free"));
  Label1->setText(QStringLiteral("Velmora Free"));
  SetHelpContext(this, 201);
  InitPages();
  EnterPage();
  btnHowItWorks->setEnabled(true);
  btnHowItWorks->setVisible(true);
  btnYouTube->setEnabled(false);
  btnYouTube->setVisible(false);
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (event->spontaneous()) return;
  if (!FShownOnce && screen()) {  // centred on the screen at first show
    FShownOnce = true;
    QRect frame = frameGeometry();
    frame.moveCenter(screen()->availableGeometry().center());
    move(frame.topLeft());
  }
  FormShow();
}

void TMainForm::FormShow() {
  setWindowTitle(QStringLiteral("Velmora Free v.") +
                 QString::fromStdString(GetSelfApplicationVersion()));
  LoadLogo();
  Label1->setText(QStringLiteral("Velmora Free"));
}

void TMainForm::LoadLogo() {
  const QPixmap logo = ProductLogo();
  if (!logo.isNull()) {
    Image2->setPixmap(logo);
    setWindowIcon(QIcon(logo));
  }
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (FRunning) {
    // Closing during a save cancels it; the window closes when the run has
    // written its log and freed what it used.
    event->ignore();
    FCloseRequested = true;
    CancelRun();
    return;
  }
  FormClose();
  QMainWindow::closeEvent(event);
}

void TMainForm::FormClose() { FOpener->OpenDetached(QString::fromStdString(ClosingPageUrl())); }

int TMainForm::ActivePageIndex() const { return pcPages->currentIndex(); }

void TMainForm::InitPages() {
  const QSignalBlocker quiet(pcPages);
  pcPages->setCurrentIndex(wpDrive);
}

void TMainForm::btnNextClick() {
  try {
    GoNext();
  } catch (...) {
    ApplicationEvents1Exception(std::current_exception());
  }
}

void TMainForm::btnPrevClick() { PrevPage(); }
void TMainForm::btnCancelClick() { close(); }
void TMainForm::miExitClick() { close(); }

void TMainForm::DefaultKeyPressed() {
  // A focused button other than Next takes Enter for itself, as in a dialog.
  auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
  if (focused && focused != btnNext && focused->isEnabled()) {
    focused->click();
    return;
  }
  if (btnNext->isVisible() && btnNext->isEnabled()) btnNext->click();
}

void TMainForm::CancelKeyPressed() {
  // Escape is the visible Exit: a page without an Exit button (the log
  // page) has its Next reading "Exit".
  const TWizardPageObject* page = WizardPage(ActivePageIndex());
  QPushButton* exit = !page || page->ExitVisible() ? btnCancel : btnNext;
  if (exit->isVisible() && exit->isEnabled()) exit->click();
}

class TMainForm::TPageSteps final : public IWizardSteps {
 public:
  explicit TPageSteps(TMainForm& form) : FForm(form) {}
  // Coming back to the drive page, the user finds the drive they chose.
  void FillDrivesTree() override { FForm.FillDrivesTree(FForm.FSelectedDrive); }
  void UpdateSelectedDrive() override { FForm.UpdateSelectedDrive(); }
  void UpdateTargetInfo() override { FForm.UpdateTargetInfo(); }
  bool FilesShowSelectedDrive() const override {
    return FForm.FSelectedDrive == FForm.FShowedDrive;
  }
  void FillFindedFilesTree() override { FForm.FillFindedFilesTree(); }
  void FocusFilesTree() override {
    if (FForm.tvFiles->isEnabled()) FForm.tvFiles->setFocus();
  }
  bool CheckTargetDir() override { return FForm.CheckTargetDir(); }
  void ProcessScan() override { FForm.ProcessScan(); }
  void ProcessSave() override { FForm.ProcessSave(); }
  void NextPage() override { FForm.NextPage(); }
  void CloseWizard() override { FForm.close(); }

 private:
  TMainForm& FForm;
};

void TMainForm::GoNext() {
  TPageSteps steps(*this);
  if (const TWizardPageObject* page = WizardPage(ActivePageIndex())) page->Next(steps);
}

void TMainForm::SelectPage(int index) {
  pcPagesChanging();
  pcPages->setCurrentIndex(index);  // currentChanged runs pcPagesChange
}

void TMainForm::pcPagesChanging() { FPrevPageIndex = ActivePageIndex(); }

void TMainForm::pcPagesChange() { EnterPage(); }

void TMainForm::NextPage() {
  CallStack().Clear();
  if (ActivePageIndex() >= WizardPageCount - 1) return;
  SelectPage(ActivePageIndex() + 1);
  if (ActivePageIndex() != FPrevPageIndex) EnterPage();
}

void TMainForm::PrevPage() {
  CallStack().Clear();
  if (ActivePageIndex() > 0) {
    SelectPage(ActivePageIndex() - 1);
    if (ActivePageIndex() != FPrevPageIndex) EnterPage();
  }
  SetHelpContext(this, HelpContextOfPage(ActivePageIndex()));
}

void TMainForm::EnterPage() {
  TPageSteps steps(*this);
  if (const TWizardPageObject* page = WizardPage(ActivePageIndex())) page->InitializePage(steps);
  UpdateButtons();
  UpdateHelpContexts();
}

void TMainForm::UpdateHelpContexts() {
  const int context = HelpContextOfPage(ActivePageIndex());
  for (QWidget* b : {btnPrev, btnNext, btnCancel}) SetHelpContext(b, context);
  SetHelpContext(this, context);
}

void TMainForm::UpdateButtons() {
  TWizardState state;
  state.PageIndex = ActivePageIndex();
  state.SelectedDrive = FSelectedDrive;
  state.TargetType = TargetDiskInfoFrame->VolumeInfo().DriveType;
  state.TargetDrive = TargetDiskInfoFrame->Drive();
  state.SourceDrive = SourceDiskInfoFrame->Drive();
  state.RootNodeState = TFileSelection::GetNodeState(FSelection.Root());
  const TButtonState b = ComputeButtons(state);
  btnPrev->setVisible(b.PrevVisible);
  btnCancel->setVisible(b.CancelVisible);
  btnNext->setEnabled(b.NextEnabled);
  btnNext->setText(QString::fromStdString(b.NextCaption));
  btnNext->setAccessibleName(QString::fromStdString(b.NextCaption).trimmed());
  btnNext->setIcon(QIcon());
  btnNext->setIcon(ButtonGlyph(b.NextGlyph));
}

bool TMainForm::CheckTargetDir() {
  const QString text = edtRestoreDir->text();
  std::error_code ec;
  const std::filesystem::path dir(text.toStdString());
  if (!text.isEmpty()) {
    std::filesystem::create_directories(dir, ec);
    if (!ec && std::filesystem::is_directory(dir, ec) && !ec) return true;
  }
  ShowErrorOver(this, QStringLiteral("Unable to create \"%1\" directory.").arg(text));
  return false;
}

void TMainForm::ReturnToStartPage() {
  CallStack().Clear();
  {
    const QSignalBlocker quiet(pcPages);
    pcPages->setCurrentIndex(wpDrive);
  }
  FillDrivesTree();
  // The buttons follow the page even when the list was not rebuilt; else the
  // drive page would keep the last page's captions (an "Exit" that runs Next).
  UpdateButtons();
  UpdateHelpContexts();
}

void TMainForm::DeviceChanged() {
  UpdateDrives(*FSources.DriveTable);
  FDriveListChanged = true;
  if (ActivePageIndex() == wpDrive) FillDrivesTree();
}

void TMainForm::FillDrivesTree(const std::string& keep) {
  if (!FDriveListChanged) return;
  TTraceFrame frame("TMForm.FillDrivesTree");
  {
    const QSignalBlocker quiet(tvDrive);
    tvDrive->clear();
    for (const TDriveEntry& entry : ListedDrives(Drives)) {
      auto* item = new QTreeWidgetItem(tvDrive);
      item->setText(0, QString::fromStdString(entry.Caption));
      item->setData(0, kDesignatorRole, QString::fromStdString(entry.Designator));
      item->setIcon(0, OpticalDriveIcon());
      if (!tvDrive->currentItem() || entry.Designator == keep) tvDrive->setCurrentItem(item);
    }
  }
  UpdateSelectedDrive();
  UpdateButtons();
  const bool any = tvDrive->topLevelItemCount() > 0;
  tvDrive->setVisible(any);
  lblDriveCaption->setVisible(any);
  cpNoDrive->setVisible(!any);
  frame.Done();
  FDriveListChanged = false;
}

void TMainForm::tvDriveChange() { UpdateSelectedDrive(); }

void TMainForm::UpdateSelectedDrive() {
  const QList<QTreeWidgetItem*> selected = tvDrive->selectedItems();
  if (QTreeWidgetItem* item = selected.isEmpty() ? nullptr : selected.first()) {
    FSelectedDrive = item->data(0, kDesignatorRole).toString().toStdString();
    SourceDiskInfoFrame->SetDrive(FSelectedDrive);
    SourceDiskInfoFrame->setVisible(true);
  } else {
    FSelectedDrive.clear();
    SourceDiskInfoFrame->setVisible(false);
  }
  TargetDiskInfoFrame->SetCompareSize(SourceDiskInfoFrame->TotalSpace());
  UpdateButtons();
}

void TMainForm::edtRestoreDirChange() { UpdateTargetInfo(); }

void TMainForm::UpdateTargetInfo() {
  TargetDiskInfoFrame->SetDrive(
      TargetDrivePart(edtRestoreDir->text().toStdString(), FSources.MountTable()));
  UpdateButtons();
  const std::string warning =
      TargetWarning(TargetDiskInfoFrame->VolumeInfo().DriveType, TargetDiskInfoFrame->Drive(),
                    SourceDiskInfoFrame->Drive(), TargetDiskInfoFrame->FreeIsEnough());
  lblFreeSpaceNotEnough->setText(QString::fromStdString(warning).trimmed());
  lblFreeSpaceNotEnough->setVisible(!warning.empty());
}

void TMainForm::btnBrowseClick() {
  const QString chosen = QFileDialog::getExistingDirectory(
      this, QStringLiteral("Select target directory"), edtRestoreDir->text());
  if (!chosen.isEmpty()) edtRestoreDir->setText(chosen);
}

void TMainForm::btnHowItWorksClick() {
  FOpener->Open(QString::fromStdString(HowItWorksUrl(ActivePageIndex())));
}

void TMainForm::miVelmoraHelpClick() { FHelp->ShowContext(0); }

void TMainForm::miVelmoraontheWebClick() {
  FOpener->Open(QString::fromStdString(ProductPageUrl()));
}

void TMainForm::miAboutClick() { ShowAboutDialog(this); }

void TMainForm::RestoreSettings() {
  TTraceFrame frame("TMForm.RestoreSettings");
  LogFile().SetFileName(SysPaths().AnnouncePath(ErrorLogPath(), '*'));
  const std::string fallback = (QDir::homePath() + QStringLiteral("/_CDRestored")).toStdString();
  edtRestoreDir->setText(
      QString::fromStdString(SettingsStore().GetStrValue("General", "SavePath", fallback)));
  frame.Done();
}

void TMainForm::StoreSettings() {
  TTraceFrame frame("TMForm.StoreSettings");
  SettingsStore().SetStrValue("General", "SavePath", edtRestoreDir->text().toStdString());
  frame.Done();
}
