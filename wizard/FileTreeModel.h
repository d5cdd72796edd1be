#pragma once
// The file page's tree as a Qt item model over TFileSelection: one column,
// a row per node, the node's text, a shared folder or file icon, and its
// check state read from the selection. A folder's rows are made when the
// view first asks to see them (fetchMore), so a disc of a million entries
// costs rows only for the folders the user opens.

#include <QAbstractItemModel>
#include <QIcon>

#include <cstdint>
#include <functional>
#include <unordered_set>

#include "wizard/FileSelection.h"

// Sibling texts in the user's alphabetical order, numbers by their value
// ("IMG_2" before "IMG_10"). Each text's collation key is made once per
// folder, not once per comparison.
TSortTexts UserTextOrder();

class TFileTreeModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  explicit TFileTreeModel(TFileSelection& selection, QObject* parent = nullptr);

  // Rebuilds the selection through build: every row goes, the root row
  // comes back.
  void Rebuild(const std::function<void()>& build);
  // The check states changed in the selection: the rows that exist repaint.
  void StatesChanged();

  QModelIndex IndexOf(const TFileNode* node) const;
  TFileNode* NodeOf(const QModelIndex& index) const;
  // Rows made so far: the root row and the children of every fetched folder.
  std::int64_t RowsCreated() const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& index) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;
  QVariant data(const QModelIndex& index, int role) const override;
  // A check state different from the node's toggles it, as a click on its
  // box or Space does: a folder with its contents.
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 signals:
  // The user ticked or unticked a node (after the selection has changed).
  void Toggled();

 private:
  TFileSelection& FSelection;
  std::unordered_set<const TFileNode*> FFetched;  // folders whose rows exist
  QIcon FFolderIcon, FFileIcon;                   // painted once, shared by all rows
};
