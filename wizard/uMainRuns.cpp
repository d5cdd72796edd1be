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
#include "wizard/DriveList.h"
#include "wizard/ErrorTrail.h"
#include "wizard/RestoreRun.h"
#include "support/gui/UrlOpener.h"
#include "wizard/uMAVDialogs.h"
#include "wizard/uMain.h"
#include "wizard/uOverwriteDialogForm.h"
#include "wizard/uSaveProgressForm.h"

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
  try {
    FDir->SetName(FSelectedDrive);
    FDir->Clear();
    FDir->Scan(FDir->Name(), true);
    FillFindedFilesTree();
    UpdateButtons();
  } catch (...) {
    EnableUI();
    QApplication::restoreOverrideCursor();
    throw;
  }
  EnableUI();
  QApplication::restoreOverrideCursor();
  FScannedDisc = DiscInDrive();
  CallStack().Pop();
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

// The restore log and the dialogs of the window, as the run sees them.
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
    Pump();
  }
  void Pump() override { QApplication::processEvents(); }
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

// The copier's events drive the progress window; a Skip or Cancel pressed
// there goes back to the copier as its running result.
void SaveFileProgress(QWidget* mainForm, const bool& closeRequested, TFileSaveEventType AEvent,
                      const std::filesystem::path& AName, std::int64_t ASize,
                      TFileSaveCancelMode& ACancelMode) {
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
  QApplication::processEvents();  // here the clicks on Skip and Cancel arrive
  if (closeRequested) ACancelMode = fscCancel;
  if (!SaveProgressForm) return;
  switch (SaveProgressForm->CancelState()) {
    case spcSkip:
      ACancelMode = fscSkip;
      break;
    case spcCancel:
      ACancelMode = fscCancel;
      break;
    case spcNormal:
      break;
  }
}

}  // namespace

void TMainForm::ProcessSave() {
  CheckDriveAvailable();
  CheckSameDisc();
  CallStack().Clear();
  CallStack().Push("TMForm.ProcessSave");
  // The buttons go before the first pump: a second click on Save must not
  // reach the button that now reads "Exit".
  DisableUI();
  FRunning = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QApplication::processEvents();
  try {
    SaveFiles();
  } catch (...) {
    FreeSaveProgressForm();
    EnableUI();
    QApplication::restoreOverrideCursor();
    FRunning = false;
    throw;
  }
  FreeSaveProgressForm();
  EnableUI();
  QApplication::restoreOverrideCursor();
  FRunning = false;
  // The keyboard (and F1) come back from the closed progress window to the log.
  activateWindow();
  reRestoreLog->setFocus();
  CallStack().Pop();
  FOpener->Open(edtRestoreDir->text());  // the file manager shows the target folder
  if (FCloseRequested) close();
}

void TMainForm::SaveFiles() {
  reRestoreLog->clear();
  QApplication::processEvents();
  CallStack().Push("TPhysFATScanner.Create");
  ShowSaveProgressForm(this);
  TCustomFileList list;
  TFileSelection::CollectCheckedFiles(FSelection.Root(), list);
  SaveProgressForm->SetTotalSize(list.Size());
  TWindowRestoreView view(this, reRestoreLog);
  TRestoreRun run(
      view, LogFile(),
      [this](TFileSaveEventType e, const std::filesystem::path& n, std::int64_t s,
             TFileSaveCancelMode& m) { SaveFileProgress(this, FCloseRequested, e, n, s, m); },
      edtRestoreDir->text().toStdString());
  run.Run(list);
  CallStack().Pop();
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
