#include "wizard/FileTreeModel.h"

#include <QCollator>

#include <algorithm>
#include <memory>

#include "wizard/Glyphs.h"

namespace {

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

}  // namespace

TSortTexts UserTextOrder() {
  auto collator = std::make_shared<QCollator>();
  collator->setNumericMode(true);
  return [collator](const std::vector<std::string>& texts, std::vector<std::size_t>& order) {
    std::vector<QCollatorSortKey> keys;
    keys.reserve(texts.size());
    for (const std::string& text : texts)
      keys.push_back(collator->sortKey(QString::fromStdString(text)));
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return keys[a].compare(keys[b]) < 0; });
  };
}

TFileTreeModel::TFileTreeModel(TFileSelection& selection, QObject* parent)
    : QAbstractItemModel(parent),
      FSelection(selection),
      FFolderIcon(FolderIcon()),
      FFileIcon(FileIcon()) {}

void TFileTreeModel::Rebuild(const std::function<void()>& build) {
  beginResetModel();
  FFetched.clear();
  try {
    build();
  } catch (...) {
    endResetModel();
    throw;
  }
  endResetModel();
}

void TFileTreeModel::StatesChanged() {
  const TFileNode* root = FSelection.Root();
  if (!root) return;
  const QModelIndex top = IndexOf(root);
  emit dataChanged(top, top, {Qt::CheckStateRole});
  for (const TFileNode* node : FFetched) {
    if (node->Children.empty()) continue;
    const QModelIndex parent = IndexOf(node);
    emit dataChanged(index(0, 0, parent),
                     index(static_cast<int>(node->Children.size()) - 1, 0, parent),
                     {Qt::CheckStateRole});
  }
}

QModelIndex TFileTreeModel::IndexOf(const TFileNode* node) const {
  if (!node) return {};
  return createIndex(node->Row(), 0, const_cast<TFileNode*>(node));
}

TFileNode* TFileTreeModel::NodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<TFileNode*>(index.internalPointer()) : nullptr;
}

std::int64_t TFileTreeModel::RowsCreated() const {
  std::int64_t rows = FSelection.Root() ? 1 : 0;
  for (const TFileNode* node : FFetched) rows += static_cast<std::int64_t>(node->Children.size());
  return rows;
}

QModelIndex TFileTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  if (!parent.isValid())
    return row == 0 && FSelection.Root() ? IndexOf(FSelection.Root()) : QModelIndex();
  const TFileNode* node = NodeOf(parent);
  if (!node || !FFetched.contains(node) || row >= static_cast<int>(node->Children.size()))
    return {};
  return createIndex(row, 0,
                     const_cast<TFileNode*>(&node->Children[static_cast<std::size_t>(row)]));
}

QModelIndex TFileTreeModel::parent(const QModelIndex& index) const {
  const TFileNode* node = NodeOf(index);
  return node ? IndexOf(node->Parent) : QModelIndex();
}

int TFileTreeModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return FSelection.Root() ? 1 : 0;
  const TFileNode* node = NodeOf(parent);
  if (!node || !FFetched.contains(node)) return 0;
  return static_cast<int>(node->Children.size());
}

int TFileTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool TFileTreeModel::hasChildren(const QModelIndex& parent) const {
  if (!parent.isValid()) return FSelection.Root() != nullptr;
  const TFileNode* node = NodeOf(parent);
  return node && !node->Children.empty();
}

bool TFileTreeModel::canFetchMore(const QModelIndex& parent) const {
  const TFileNode* node = NodeOf(parent);
  return node && !node->Children.empty() && !FFetched.contains(node);
}

void TFileTreeModel::fetchMore(const QModelIndex& parent) {
  if (!canFetchMore(parent)) return;
  const TFileNode* node = NodeOf(parent);
  beginInsertRows(parent, 0, static_cast<int>(node->Children.size()) - 1);
  FFetched.insert(node);
  endInsertRows();
}

QVariant TFileTreeModel::data(const QModelIndex& index, int role) const {
  const TFileNode* node = NodeOf(index);
  if (!node) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      return QString::fromStdString(FSelection.Text(*node));
    case Qt::DecorationRole:
      return node->IsFolder() ? FFolderIcon : FFileIcon;
    case Qt::CheckStateRole:
      return CheckStateOf(node->State);
    default:
      return {};
  }
}

bool TFileTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  TFileNode* node = NodeOf(index);
  if (!node || role != Qt::CheckStateRole) return false;
  if (value.toInt() == CheckStateOf(node->State)) return true;
  FSelection.Toggle(node);
  StatesChanged();
  emit Toggled();
  return true;
}

Qt::ItemFlags TFileTreeModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}
