#include "wizard/FileSelection.h"

#include <algorithm>

#include "engine/Drives.h"

std::string TFileSelection::NodeText(const TCustomFile& entry,
                                     const std::string& decimalSeparator) {
  const std::string name = entry.Name().string();
  if (dynamic_cast<const TCustomDir*>(&entry)) return name;
  return name + "   [" + FormatSize(entry.Size(), decimalSeparator) + "]";
}

void TFileSelection::Build(TCustomDir& root, const TTextLess& less,
                           const std::string& decimalSeparator) {
  FRoot.reset();
  FParentStateUpdating = 0;
  TFileNode* node = AddNode(nullptr, &root, decimalSeparator);
  AddChildNodes(node, root, decimalSeparator);
  SortChildren(node, less);
}

TFileNode* TFileSelection::AddNode(TFileNode* parent, TCustomFile* entry,
                                   const std::string& decimalSeparator) {
  auto node = std::make_unique<TFileNode>();
  node->Text = NodeText(*entry, decimalSeparator);
  node->Data = entry;
  node->State = nsUnchecked;
  node->Parent = parent;
  TFileNode* added = node.get();
  if (parent)
    parent->Children.push_back(std::move(node));
  else
    FRoot = std::move(node);
  return added;
}

void TFileSelection::AddChildNodes(TFileNode* node, TCustomDir& dir,
                                   const std::string& decimalSeparator) {
  for (std::int32_t i = 0; i < dir.Count(); ++i) {
    TCustomFile* child = dir.Files(i);
    TFileNode* added = AddNode(node, child, decimalSeparator);
    if (auto* folder = dynamic_cast<TCustomDir*>(child))
      AddChildNodes(added, *folder, decimalSeparator);
  }
}

void TFileSelection::SortChildren(TFileNode* node, const TTextLess& less) {
  // Stable, so that equal texts keep the disc's order.
  std::stable_sort(node->Children.begin(), node->Children.end(),
                   [&](const auto& a, const auto& b) { return less(a->Text, b->Text); });
  for (auto& child : node->Children) SortChildren(child.get(), less);
}

int TFileSelection::GetNodeState(const TFileNode* node) { return node ? node->State : nsUnchecked; }

void TFileSelection::SetNodeState(TFileNode* node, int state) {
  if (node) node->State = state;
}

void TFileSelection::SetChildrenState(TFileNode* node, int state) {
  if (FParentStateUpdating > 0 || !node) return;
  if (state != nsUnchecked && state != nsChecked) return;
  for (auto& child : node->Children) {
    SetNodeState(child.get(), state);
    SetChildrenState(child.get(), state);
  }
}

void TFileSelection::UpdateParentState(TFileNode* node) {
  ++FParentStateUpdating;
  for (; node; node = node->Parent) {
    const auto count = [&](int state) {
      return std::count_if(node->Children.begin(), node->Children.end(),
                           [state](const auto& c) { return c->State == state; });
    };
    const auto checked = count(nsChecked);
    const auto partly = count(nsPartly);
    if (checked == static_cast<std::ptrdiff_t>(node->Children.size()))
      node->State = nsChecked;
    else if (checked > 0 || partly > 0)
      node->State = nsPartly;
    else
      node->State = nsUnchecked;
  }
  --FParentStateUpdating;
}

void TFileSelection::Toggle(TFileNode* node) {
  if (!node) return;
  const int state = node->State == nsChecked ? nsUnchecked : nsChecked;
  SetNodeState(node, state);
  SetChildrenState(node, state);
  UpdateParentState(node->Parent);
}

void TFileSelection::CheckAll(bool checked) {
  const int state = checked ? nsChecked : nsUnchecked;
  SetNodeState(FRoot.get(), state);
  SetChildrenState(FRoot.get(), state);
}

void TFileSelection::CollectCheckedFiles(const TFileNode* node, TCustomFileList& list) {
  if (!node) return;
  for (const auto& child : node->Children) {
    if (child->State == nsUnchecked) continue;
    if (!child->Children.empty())
      CollectCheckedFiles(child.get(), list);
    else
      list.Add(child->Data);
  }
}
