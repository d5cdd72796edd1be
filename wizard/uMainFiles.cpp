// TMainForm's file page: the tree of the scanned disc with its check marks.
// The marks' rules live in TFileSelection; TFileTreeModel shows its nodes,
// making rows only for the folders the user opens.

#include <QApplication>
#include <QTreeView>

#include "diagnostics/uMAVCallStack.h"
#include "platform/LocaleNumber.h"
#include "wizard/FileTreeModel.h"
#include "wizard/uMain.h"

namespace {

// The hourglass for the length of a scope, restored also when an error leaves it.
class TBusyCursor {
 public:
  TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;
};

}  // namespace

void TMainForm::FillFindedFilesTree() {
  CallStack().Push("TMForm.FillFindedFilesTree");
  FShowedDrive = FSelectedDrive;
  {
    TBusyCursor busy;
    FFilesModel->Rebuild(
        [&] { FSelection.Build(*FDir, UserTextOrder(), platform::DecimalSeparator()); });
    const QModelIndex root = FFilesModel->IndexOf(FSelection.Root());
    tvFiles->setCurrentIndex(root);
    tvFiles->expand(root);
  }
  CallStack().Pop();
}

// A click on a check box, or Space on the selected entry, has toggled the
// entry with its contents in the selection.
void TMainForm::tvFilesToggled() {
  CallStack().Push("TMForm.DoTreeMouseClick");
  UpdateButtons();
  CallStack().Pop();
}

// The entry at the top of the view stays expanded: with the tree scrolled to
// the top this keeps the root open.
void TMainForm::tvFilesCollapsed(const QModelIndex& index) {
  if (tvFiles->indexAt(QPoint(0, 0)) == index) tvFiles->expand(index);
}

void TMainForm::btnCheckAllClick() {
  FSelection.CheckAll(true);
  FFilesModel->StatesChanged();
  UpdateButtons();
}

void TMainForm::btnUncheckAllClick() {
  FSelection.CheckAll(false);
  FFilesModel->StatesChanged();
  UpdateButtons();
}
