#pragma once
// The file page's tree without a window: one node per folder and file of the
// scanned disc with a three-state check mark, the rules by which a mark
// spreads down to the contents and up to the folders above, and the walk
// that gathers the ticked files for the save run.
//
// A disc may hold a million entries, so a node is small: the model entry, its
// parent, its state, and its children as values in one vector that is never
// resized once built (so that addresses of nodes stay valid). Texts are made
// when asked for, not kept.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/FileTree.h"

// Check states as the tree shows them.
enum TNodeState : int {
  nsUnchecked = 1,
  nsChecked = 2,
  nsPartly = 3,
};

struct TFileNode {
  TCustomFile* Data = nullptr;  // the model entry, not owned
  TFileNode* Parent = nullptr;
  std::vector<TFileNode> Children;  // in display order
  int State = nsUnchecked;
  bool IsFolder() const { return dynamic_cast<TCustomDir*>(Data) != nullptr; }
  // The position among the parent's children; 0 for the root.
  int Row() const { return Parent ? static_cast<int>(this - Parent->Children.data()) : 0; }
};

// Orders sibling texts; true when a sorts before b.
using TTextLess = std::function<bool(const std::string& a, const std::string& b)>;
// Puts one folder's children in display order: order holds 0..n-1, indices
// into texts, and is rearranged (stably: equal texts keep the disc's order).
using TSortTexts =
    std::function<void(const std::vector<std::string>& texts, std::vector<std::size_t>& order)>;

class TFileSelection {
 public:
  // Rebuilds the nodes from the scanned root: every node unchecked, the
  // children of each node sorted by their text (folders and files mixed).
  // The decimal separator goes into the sizes of the file texts.
  void Build(TCustomDir& root, const TSortTexts& sort, const std::string& decimalSeparator);
  void Build(TCustomDir& root, const TTextLess& less, const std::string& decimalSeparator);
  void Clear() { FRoot.clear(); }
  TFileNode* Root() { return FRoot.empty() ? nullptr : &FRoot.front(); }
  const TFileNode* Root() const { return FRoot.empty() ? nullptr : &FRoot.front(); }

  // The text the tree shows for a node: a folder's name; a file's name,
  // three blanks, [size]. Names are escaped to one line (platform::EscapeForDisplay).
  std::string Text(const TFileNode& node) const { return NodeText(*node.Data, FDecimalSeparator); }
  static std::string NodeText(const TCustomFile& entry, const std::string& decimalSeparator);

  // The check state; unchecked for no node. Setting does nothing for no node.
  static int GetNodeState(const TFileNode* node);
  static void SetNodeState(TFileNode* node, int state);
  // Pushes a checked or unchecked state down to every descendant; a partly
  // checked state is never pushed down.
  void SetChildrenState(TFileNode* node, int state);
  // Recomputes node and every folder above it from their children.
  void UpdateParentState(TFileNode* node);

  // A click on a node's check box, and Space on the selected node: checked
  // becomes unchecked, anything else checked; the contents follow and the
  // folders above are recomputed.
  void Toggle(TFileNode* node);
  // Check All (true) and Uncheck All (false).
  void CheckAll(bool checked);

  // The ticked leaves below node (the node itself is not tested), in display
  // order. A ticked empty folder is a leaf and is collected too.
  static void CollectCheckedFiles(const TFileNode* node, TCustomFileList& list);

 private:
  std::vector<TFileNode> FRoot;  // none or one node
  std::string FDecimalSeparator = ".";
  int FParentStateUpdating = 0;  // above 0 while an upward propagation runs
};
