// TMainForm's working steps: the scan of the chosen disc and the save run
// with its restore log.

#include <QApplication>
#include <QMenuBar>

#include "diagnostics/uMAVCallStack.h"
#include "wizard/DriveList.h"
#include "wizard/uMain.h"

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
  CallStack().Pop();
}
