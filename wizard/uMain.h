#pragma once
// TMainForm: the wizard window of the main program. Four pages without tabs
// (drive, target folder, files, restore log), a menu, and a bottom panel whose
// buttons lead from page to page. The rules live in plain classes
// (WizardButtons, DriveList, TargetInfo, DiskInfo); this class wires them to
// widgets.

#include <QMainWindow>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "diagnostics/uMAVLogFile.h"
#include "engine/BadFileRestorator.h"
#include "engine/Drives.h"
#include "engine/FileTree.h"
#include "platform/DeviceNotifier.h"
#include "platform/DirectoryList.h"
#include "platform/DriveTable.h"
#include "platform/MountTable.h"
#include "wizard/FileSelection.h"

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QSocketNotifier;
class QStackedWidget;
class QTextEdit;
class QToolButton;
class QTreeWidget;
class QTreeView;
class QTreeWidgetItem;
class TFileTreeModel;
class IRestoreView;
class TCancelRequest;
class TDiskInfoFrame;
class TJob;
class TScanProgressForm;
class THelp;
class TUrlOpener;

// Where the window takes the system's facts from; tests replace them.
struct TMainFormSources {
  platform::IDriveTable* DriveTable = &platform::SystemDriveTable();
  std::function<std::vector<platform::MountEntry>()> MountTable = [] {
    return platform::ReadMountTable();
  };
  bool WatchDevices = true;  // follow mounts and discs through the device notifier
  // Handed to the scan and save jobs when they are made.
  TRestoratorIo Io;                    // the copier's opener, target creator, run length
  TMAVLogFile* ErrorLog = &LogFile();  // where files not saved are noted
  platform::IDirectoryEnumerator* Folders =
      &platform::SystemDirectoryEnumerator();  // the scan's listing
};

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  explicit TMainForm(TMainFormSources sources = {}, QWidget* parent = nullptr);
  ~TMainForm() override;

  // A drive may have come or gone: refresh the table, and the list when the
  // drive page shows. The device notifier calls it; tests may too.
  void DeviceChanged();
  // Back to the drive page after a drive error.
  void ReturnToStartPage();
  // Every error that escapes a handler ends here: logged with the trail of
  // operations, shown over the window, a drive error back to the drive page.
  void ApplicationEvents1Exception(std::exception_ptr error);
  bool Running() const { return FRunning; }

  int ActivePageIndex() const;
  const std::string& SelectedDrive() const { return FSelectedDrive; }
  TUrlOpener& UrlOpener() const { return *FOpener; }
  THelp& Help() const { return *FHelp; }

  // The controls, for the window's tests.
  QStackedWidget* pcPages;
  QWidget *tsStartPage, *tsTargetDirPage, *tsSelectFilesPage, *tsLogPage;
  QLabel *Label1, *lblDriveCaption, *cpNoDrive, *Image2;
  QTreeWidget* tvDrive;
  QLabel* Label4;
  QLineEdit* edtRestoreDir;
  QToolButton* btnBrowse;
  TDiskInfoFrame *SourceDiskInfoFrame, *TargetDiskInfoFrame;
  QLabel* lblFreeSpaceNotEnough;
  QTreeView* tvFiles;
  TFileTreeModel* FFilesModel;  // tvFiles' rows over FSelection
  QPushButton *btnCheckAll, *btnUncheckAll;
  QTextEdit* reRestoreLog;
  QWidget* pnlBottomMain;
  QPushButton *btnPrev, *btnNext, *btnCancel, *btnHowItWorks, *btnYouTube;
  QAction *miExit, *miVelmoraHelp, *miVelmoraontheWeb, *miAbout;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Building the window (uMainPages.cpp).
  void BuildMenu();
  void BuildPages();
  QWidget* BuildStartPage();
  QWidget* BuildTargetDirPage();
  QWidget* BuildSelectFilesPage();
  QWidget* BuildLogPage();
  void BuildBottomPanel();
  void ConnectHandlers();
  void WatchDevices();

  // Handlers.
  void FormCreate();
  void FormShow();
  void FormClose();
  void btnNextClick();
  void btnPrevClick();
  void btnCancelClick();
  void miExitClick();
  void btnYouTubeClick() {}
  void btnHowItWorksClick();
  void miVelmoraHelpClick();
  void miVelmoraontheWebClick();
  void miAboutClick();
  void pcPagesChanging();
  void pcPagesChange();
  void tvDriveChange();
  void edtRestoreDirChange();
  void btnBrowseClick();
  void btnCheckAllClick();
  void btnUncheckAllClick();
  void tvFilesToggled();
  void tvFilesCollapsed(const QModelIndex& index);
  void DefaultKeyPressed();
  void CancelKeyPressed();

  // Page flow: the page objects (WizardPages.h) say what each page does;
  // TPageSteps lends them the window's steps.
  class TPageSteps;
  void GoNext();
  void NextPage();
  void PrevPage();
  void SelectPage(int index);
  void EnterPage();
  void InitPages();
  void UpdateButtons();
  void UpdateHelpContexts();  // the buttons' and the window's context follow the page
  bool CheckTargetDir();
  void RestoreSettings();
  void StoreSettings();
  void LoadLogo();

  // File page (uMainFiles.cpp).
  void FillFindedFilesTree();

  // Scan and save runs (uMainRuns.cpp).
  void ProcessScan();
  void ScanEnded(std::exception_ptr error);  // the scan job has finished
  void ProcessSave();
  bool CheckDriveAvailable();
  void CheckSameDisc();  // the disc scanned is the disc in the drive
  void SaveFiles();
  void SaveEnded(std::exception_ptr error);  // the save job has finished
  void CancelRun();                          // the close during a run: the progress window's Cancel
  struct TDiscIdentity {                     // what tells one disc from another in the same drive
    std::string Label, FileSystem;
    std::uint32_t Serial = 0;
    std::uint64_t TotalBytes = 0;
    friend bool operator==(const TDiscIdentity&, const TDiscIdentity&) = default;
  };
  TDiscIdentity DiscInDrive() const;
  void DisableUI();
  void EnableUI();

  // Drive and target pages.
  // Rebuilds the list when it changed; the entry of `keep` is selected when
  // listed, else the first.
  void FillDrivesTree(const std::string& keep = {});
  void UpdateSelectedDrive();
  void UpdateTargetInfo();

  std::string FSelectedDrive;  // designator of the chosen drive; empty when none
  int FPrevPageIndex = 0;
  TFileSelection FSelection;     // the file page's nodes and their check marks
  bool FRunning = false;         // a scan or save job is in progress
  bool FCloseRequested = false;  // the window closes once the run has ended
  TDiscIdentity FScannedDisc;    // the disc the file tree shows
  std::string FShowedDrive;      // drive whose scan the file tree shows; empty when none
  bool FDriveListChanged = true;
  bool FShownOnce = false;
  std::unique_ptr<TCustomDir> FDir;             // root of the scanned disc
  TJob* FJob = nullptr;                         // the running scan or save; owned by the window
  TScanProgressForm* FScanForm = nullptr;       // the scan job's counts and Cancel
  std::unique_ptr<IRestoreView> FRestoreView;   // the save job's restore log
  std::shared_ptr<TCancelRequest> FRunRequest;  // the save job's Skip and Cancel

  TMainFormSources FSources;
  std::unique_ptr<platform::DeviceNotifier> FNotifier;
  QSocketNotifier* FDeviceSocket = nullptr;
  TUrlOpener* FOpener;
  THelp* FHelp;
};
