// TMainForm's working steps: the scan of the chosen disc and the save run
// with its restore log.

#include <QApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>

#include "diagnostics/uMAVCallStack.h"
#include "diagnostics/uMAVLogFile.h"
#include "support/gui/UrlOpener.h"
#include "wizard/DriveList.h"
#include "wizard/ErrorTrail.h"
#include "wizard/RestoreRun.h"
#include "wizard/SaveJob.h"
#include "wizard/ScanJob.h"
#include "wizard/uMAVDialogs.h"
#include "wizard/uMain.h"
#include "wizard/uOverwriteDialogForm.h"
#include "wizard/uSaveProgressForm.h"
#include "wizard/uScanProgressForm.h"

bool TMainForm::CheckDriveAvailable() {
  ::CheckDriveAvailable(FSelectedDrive, FSources.MountTable());
  return true;
}

void TMainForm::DisableUI() {
  menuBar()->setEnabled(false);
  pnlBottomMain->setEnabled(false);
}

void TMainForm::EnableUI() {
  menuBar()->setEnabled(true);
  pnlBottomMain->setEnabled(true);
}

void TMainForm::ProcessScan() {
  CheckDriveAvailable();  // before anything changes: the previous tree stays
  CallStack().Clear();
  CallStack().Push("TMForm.ProcessScan").Params().SetValues("Drive", FSelectedDrive);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  DisableUI();
  FRunning = true;
  auto* job = new TScanJob(
      FSelectedDrive, *FSources.Folders,
      [this](TScanCounts counts) {
        if (FScanForm) FScanForm->SetCounts(counts);
      },
      this);
  FScanForm = new TScanProgressForm(this, [job] { job->Cancel(); });
  FScanForm->show();
  job->OnFinished = [this](std::exception_ptr error) { ScanEnded(error); };
  FJob = job;
  job->Start();
}

void TMainForm::ScanEnded(std::exception_ptr error) {
  auto* job = static_cast<TScanJob*>(FJob);
  FJob = nullptr;
  job->deleteLater();
  delete FScanForm;
  FScanForm = nullptr;
  EnableUI();
  QApplication::restoreOverrideCursor();
  FRunning = false;
  if (error) {
    ApplicationEvents1Exception(error);
  } else if (auto dir = job->TakeResult(); !dir || FCloseRequested) {
    CallStack().Pop();  // cancelled: the target page and the previous tree stay
  } else {
    try {
      FDir = std::move(dir);
      FillFindedFilesTree();
      UpdateButtons();
      FScannedDisc = DiscInDrive();
      CallStack().Pop();
      NextPage();
    } catch (...) {
      ApplicationEvents1Exception(std::current_exception());
    }
  }
  if (FCloseRequested) close();
}

TMainForm::TDiscIdentity TMainForm::DiscInDrive() const {
  TVolumeInformationRecord rec;
  rec.Letter = FSelectedDrive;
  ReadVolumeInformation(*FSources.DriveTable, FSelectedDrive, rec);
  TDiskSpace space;
  ReadDiskSpace(*FSources.DriveTable, FSelectedDrive, space);
  return {.Label = rec.VolumeName,
          .FileSystem = rec.FileSystemName,
          .Serial = rec.SerialNumber,
          .TotalBytes = space.TotalBytes};
}

void TMainForm::CheckSameDisc() {
  // Another disc in the drive since the scan: its files are not the ones
  // ticked, so this is a drive error and not a run over the wrong disc.
  if (FShowedDrive != FSelectedDrive || DiscInDrive() != FScannedDisc)
    throw NoDriveException("Drive " + FSelectedDrive + " is not available.");
}

namespace {

// The restore log and the dialogs of the window, as the run sees them; the
// save job calls it on the window's thread.
class TWindowRestoreView : public IRestoreView {
 public:
  TWindowRestoreView(QWidget* form, QTextEdit* log)
      : FForm(form), FLog(log), FCursor(log->document()) {}

  void Insert(const std::string& text, TRgb colour) override {
    if (text.empty()) return;
    // The run's own cursor at the end: a click or selection in the log
    // meanwhile moves only the user's caret.
    FCursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(QColor(colour.r, colour.g, colour.b));
    FCursor.insertText(QString::fromStdString(text), format);
  }
  void LineDone() override {
    QScrollBar* bar = FLog->verticalScrollBar();
    bar->setValue(bar->maximum());
  }
  void FileStarting(const TCustomFile& entry) override {
    if (!SaveProgressForm) return;
    SaveProgressForm->SetFileName(entry.Name());
    SaveProgressForm->SetFileSize(entry.Size());
  }
  TOverwriteAnswer AskOverwrite(const std::string& question) override {
    return ShowOverwriteDialog(FForm, QString::fromStdString(question));
  }

 private:
  QWidget* FForm;
  QTextEdit* FLog;
  QTextCursor FCursor;
};

// The copier's events drive the progress window. A Skip or Cancel pressed
// there reaches the copier through the request the job shares with it.
void SaveFileProgress(QWidget* mainForm, TFileSaveEventType AEvent,
                      const std::filesystem::path& AName, std::int64_t ASize) {
  switch (AEvent) {
    case fseStartList:
      ShowSaveProgressForm(mainForm);
      SaveProgressForm->SetTotalSize(ASize);
      break;
    case fseStartFile:
      ShowSaveProgressForm(mainForm);
      SaveProgressForm->SetFileName(AName);
      SaveProgressForm->SetFileSize(ASize);
      break;
    case fseEndList:
      FreeSaveProgressForm();
      break;
    case fseEndFile:
      if (SaveProgressForm) SaveProgressForm->SetFileName(QString());
      break;
    case fseProgress:
      if (SaveProgressForm) SaveProgressForm->Add(ASize);
      break;
  }
}

}  // namespace

void TMainForm::ProcessSave() {
  CheckDriveAvailable();
  CheckSameDisc();
  CallStack().Clear();
  CallStack().Push("TMForm.ProcessSave");
  // The buttons go before the job starts: a second click on Save must not
  // reach the button that now reads "Exit".
  DisableUI();
  FRunning = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  try {
    SaveFiles();  // the rest happens in SaveEnded once the job has finished
  } catch (...) {
    delete FJob;  // made but not started
    FJob = nullptr;
    FRestoreView.reset();
    FreeSaveProgressForm();
    EnableUI();
    QApplication::restoreOverrideCursor();
    FRunning = false;
    throw;
  }
}

void TMainForm::SaveFiles() {
  reRestoreLog->clear();
  CallStack().Push("TPhysFATScanner.Create");
  ShowSaveProgressForm(this);
  FRestoreView = std::make_unique<TWindowRestoreView>(this, reRestoreLog);
  TSaveJobSetup setup{.TargetDir = edtRestoreDir->text().toStdString(),
                      .ErrorLog = FSources.ErrorLog,
                      .Io = FSources.Io,
                      .Request = SaveProgressForm->Request()};
  auto* job = new TSaveJob(
      std::move(setup), *FRestoreView,
      [this](TFileSaveEventType e, const std::filesystem::path& n, std::int64_t s) {
        SaveFileProgress(this, e, n, s);
      },
      this);
  FJob = job;
  TFileSelection::CollectCheckedFiles(FSelection.Root(), job->List());
  SaveProgressForm->SetTotalSize(job->List().Size());
  job->OnFinished = [this](std::exception_ptr error) { SaveEnded(error); };
  FRunRequest = job->Request();
  job->Start();
}

void TMainForm::SaveEnded(std::exception_ptr error) {
  FJob->deleteLater();
  FJob = nullptr;
  FRestoreView.reset();
  FreeSaveProgressForm();
  EnableUI();
  QApplication::restoreOverrideCursor();
  FRunning = false;
  if (error) {
    ApplicationEvents1Exception(error);
  } else {
    CallStack().Pop();  // the scanner's frame
    // The keyboard (and F1) come back from the closed progress window to the log.
    activateWindow();
    reRestoreLog->setFocus();
    CallStack().Pop();
    FOpener->Open(edtRestoreDir->text());  // the file manager shows the target folder
  }
  if (FCloseRequested) close();
}

void TMainForm::CancelRun() {
  if (FScanForm && FScanForm->btnCancel->isEnabled()) FScanForm->btnCancel->click();
  // Closing is the progress window's Cancel, and stays Cancel whatever the
  // run does before its next event.
  if (SaveProgressForm && SaveProgressForm->btnCancel->isEnabled())
    SaveProgressForm->btnCancel->click();
  if (FRunRequest) FRunRequest->Close();
  // An overwrite question open now is answered as closed without an answer:
  // the existing file is kept, and the next event takes the Cancel.
  if (auto* question = qobject_cast<TOverwriteDialogForm*>(QApplication::activeModalWidget()))
    question->reject();
}

void TMainForm::ApplicationEvents1Exception(std::exception_ptr error) {
  QString message;
  bool driveError = false;
  try {
    std::rethrow_exception(error);
  } catch (const CustomDriveException& e) {
    message = QString::fromStdString(e.what());
    driveError = true;
  } catch (const std::exception& e) {
    message = QString::fromStdString(e.what());
  } catch (...) {
    message = QStringLiteral("Unknown error.");
  }
  LogException(message.toStdString());
  if (driveError) {
    CenteredMessageDlg(
        this,
        message + QStringLiteral("\r\n\r\nInsert disk into a drive, then press OK and "
                                 "try again."),
        mtError, QMessageBox::Ok, 0, QMessageBox::Ok);
    ReturnToStartPage();
  } else {
    CenteredMessageDlg(this, message, mtError, QMessageBox::Ok, 0, QMessageBox::Ok);
  }
}
