// TMainForm's file page: the tree of the scanned disc with its check marks.
// The marks' rules live in TFileSelection; the tree shows its nodes.

#include <QApplication>
#include <QCollator>
#include <QTreeWidget>

#include "diagnostics/uMAVCallStack.h"
#include "platform/LocaleNumber.h"
#include "wizard/Glyphs.h"
#include "wizard/uMain.h"

namespace {

constexpr int kNodeRole = Qt::UserRole;  // an entry keeps the address of its node

Qt::CheckState CheckStateOf(int state) {
  switch (state) {
    case nsChecked:
      return Qt::Checked;
    case nsPartly:
      return Qt::PartiallyChecked;
    default:
      return Qt::Unchecked;
  }
}

// The hourglass for the length of a scope, restored also when an error leaves it.
class TBusyCursor {
 public:
  TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;
};

}  // namespace

TFileNode* TMainForm::NodeOf(QTreeWidgetItem* item) const {
  return item ? reinterpret_cast<TFileNode*>(item->data(0, kNodeRole).value<quintptr>()) : nullptr;
}

void TMainForm::FillFindedFilesTree() {
  CallStack().Push("TMForm.FillFindedFilesTree");
  FShowedDrive = FSelectedDrive;
  {
    TBusyCursor busy;
    tvFiles->setUpdatesEnabled(false);
    const QSignalBlocker quiet(tvFiles);
    FShowingStates = true;
    try {
      tvFiles->clear();
      // Sibling texts in the user's alphabetical order.
      QCollator collator;
      collator.setNumericMode(true);
      FSelection.Build(
          *FDir,
          [&collator](const std::string& a, const std::string& b) {
            return collator.compare(QString::fromStdString(a), QString::fromStdString(b)) < 0;
          },
          platform::DecimalSeparator());
      auto* root = new QTreeWidgetItem(tvFiles);
      root->setData(0, kNodeRole,
                    QVariant::fromValue(reinterpret_cast<quintptr>(FSelection.Root())));
      AddChildNodes(root, FSelection.Root());
      root->setText(0, QString::fromStdString(FSelection.Root()->Text));
      root->setIcon(0, FolderIcon());
      root->setFlags(root->flags() | Qt::ItemIsUserCheckable);
      root->setCheckState(0, Qt::Unchecked);
      tvFiles->setCurrentItem(root);
    } catch (...) {
      FShowingStates = false;
      tvFiles->setUpdatesEnabled(true);
      throw;
    }
    FShowingStates = false;
    tvFiles->setUpdatesEnabled(true);
  }
  CallStack().Pop();
  if (QTreeWidgetItem* root = tvFiles->topLevelItem(0)) root->setExpanded(true);
}

void TMainForm::AddChildNodes(QTreeWidgetItem* item, TFileNode* node) {
  for (auto& child : node->Children) {
    auto* sub = new QTreeWidgetItem(item);
    sub->setText(0, QString::fromStdString(child->Text));
    sub->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(child.get())));
    sub->setIcon(0, child->IsFolder() ? FolderIcon() : FileIcon());
    sub->setFlags(sub->flags() | Qt::ItemIsUserCheckable);
    sub->setCheckState(0, Qt::Unchecked);
    AddChildNodes(sub, child.get());
  }
}

void TMainForm::ShowNodeStates() {
  FShowingStates = true;
  for (QTreeWidgetItemIterator it(tvFiles); *it; ++it)
    (*it)->setCheckState(0, CheckStateOf(TFileSelection::GetNodeState(NodeOf(*it))));
  FShowingStates = false;
}

// A click on a check box, or Space on the selected entry: both change the
// entry with its contents, as the user sees them.
void TMainForm::tvFilesItemChanged(QTreeWidgetItem* item) {
  if (FShowingStates) return;
  TFileNode* node = NodeOf(item);
  if (!node || CheckStateOf(node->State) == item->checkState(0)) return;  // text or icon change
  CallStack().Push("TMForm.DoTreeMouseClick");
  {
    TBusyCursor busy;
    FSelection.Toggle(node);
    ShowNodeStates();
    UpdateButtons();
  }
  CallStack().Pop();
}

// The entry at the top of the view stays expanded: with the tree scrolled to
// the top this keeps the root open.
void TMainForm::tvFilesCollapsed(QTreeWidgetItem* item) {
  if (tvFiles->itemAt(0, 0) == item) item->setExpanded(true);
}

void TMainForm::btnCheckAllClick() {
  {
    TBusyCursor busy;
    FSelection.CheckAll(true);
    ShowNodeStates();
  }
  UpdateButtons();
}

void TMainForm::btnUncheckAllClick() {
  {
    TBusyCursor busy;
    FSelection.CheckAll(false);
    ShowNodeStates();
  }
  UpdateButtons();
}
