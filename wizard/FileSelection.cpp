#include "wizard/FileSelection.h"

#include <algorithm>
#include <numeric>

#include "engine/Drives.h"
#include "platform/EscapeForDisplay.h"

namespace {

// Calls visit for node and every node below it, without recursion: a disc's
// depth is bounded only by memory.
template <typename Node, typename Visit>
void ForEachBelow(Node* node, Visit visit) {
  std::vector<Node*> pending{node};
  while (!pending.empty()) {
    Node* n = pending.back();
    pending.pop_back();
    visit(n);
    for (auto& child : n->Children) pending.push_back(&child);
  }
}

}  // namespace

std::string TFileSelection::NodeText(const TCustomFile& entry,
                                     const std::string& decimalSeparator) {
  const std::string name = platform::EscapeForDisplay(entry.Name().string());
  if (dynamic_cast<const TCustomDir*>(&entry)) return name;
  return name + "   [" + FormatSize(entry.Size(), decimalSeparator) + "]";
}

void TFileSelection::Build(TCustomDir& root, const TTextLess& less,
                           const std::string& decimalSeparator) {
  Build(
      root,
      [&less](const std::vector<std::string>& texts, std::vector<std::size_t>& order) {
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return less(texts[a], texts[b]); });
      },
      decimalSeparator);
}

void TFileSelection::Build(TCustomDir& root, const TSortTexts& sort,
                           const std::string& decimalSeparator) {
  FRoot.clear();
  FParentStateUpdating = 0;
  FDecimalSeparator = decimalSeparator;
  FRoot.emplace_back().Data = &root;
  // Each folder's children are placed, sorted, before any of them gets
  // children of its own, so that no vector moves once its nodes are
  // referred to.
  std::vector<TFileNode*> pending{&FRoot.front()};
  std::vector<std::string> texts;
  std::vector<std::size_t> order;
  while (!pending.empty()) {
    TFileNode* node = pending.back();
    pending.pop_back();
    auto* dir = dynamic_cast<TCustomDir*>(node->Data);
    if (!dir || dir->Count() == 0) continue;
    const auto count = static_cast<std::size_t>(dir->Count());
    texts.resize(count);
    for (std::size_t i = 0; i < count; ++i)
      texts[i] = NodeText(*dir->Files(static_cast<std::int32_t>(i)), decimalSeparator);
    order.resize(count);
    std::iota(order.begin(), order.end(), std::size_t{0});
    sort(texts, order);
    node->Children.reserve(count);
    for (std::size_t i : order) {
      TFileNode& child = node->Children.emplace_back();
      child.Data = dir->Files(static_cast<std::int32_t>(i));
      child.Parent = node;
    }
    for (auto& child : node->Children) pending.push_back(&child);
  }
}

int TFileSelection::GetNodeState(const TFileNode* node) { return node ? node->State : nsUnchecked; }

void TFileSelection::SetNodeState(TFileNode* node, int state) {
  if (node) node->State = state;
}

void TFileSelection::SetChildrenState(TFileNode* node, int state) {
  if (FParentStateUpdating > 0 || !node) return;
  if (state != nsUnchecked && state != nsChecked) return;
  ForEachBelow(node, [&](TFileNode* n) {
    if (n != node) n->State = state;
  });
}

void TFileSelection::UpdateParentState(TFileNode* node) {
  ++FParentStateUpdating;
  for (; node; node = node->Parent) {
    const auto count = [&](int state) {
      return std::count_if(node->Children.begin(), node->Children.end(),
                           [state](const auto& c) { return c.State == state; });
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
  SetNodeState(Root(), state);
  SetChildrenState(Root(), state);
}

void TFileSelection::CollectCheckedFiles(const TFileNode* node, TCustomFileList& list) {
  if (!node) return;
  // Depth first in display order, without recursion.
  struct Visit {
    const TFileNode* node;
    std::size_t next;
  };
  std::vector<Visit> walk{{node, 0}};
  while (!walk.empty()) {
    Visit& top = walk.back();
    if (top.next == top.node->Children.size()) {
      walk.pop_back();
      continue;
    }
    const TFileNode& child = top.node->Children[top.next++];
    if (child.State == nsUnchecked) continue;
    if (!child.Children.empty())
      walk.push_back({&child, 0});
    else
      list.Add(child.Data);
  }
}
