#pragma once
// A small scanned disc with its selection, for the file page's tests.

#include <string>

#include "wizard/FileSelection.h"

namespace testsupport {

// D: holds A (x, y, B (z)), an empty folder E and a file c.
class SmallTree {
 public:
  SmallTree() {
    root.SetName("D:");
    root.SetAttr(faVolumeId);
    auto* a = Folder(&root, "A");
    File(a, "y.txt", 10);
    File(a, "x.txt", 2048);
    auto* b = Folder(a, "B");
    File(b, "z.txt", 5);
    Folder(&root, "E");
    File(&root, "c.txt", 7);
    selection.Build(
        root, [](const std::string& l, const std::string& r) { return l < r; }, ".");
  }
  static TCustomDir* Folder(TCustomDir* parent, const char* name) {
    auto* d = new TCustomDir(parent);
    d->SetName(name);
    d->SetAttr(faDirectory);
    return d;
  }
  static void File(TCustomDir* parent, const char* name, std::int64_t size) {
    auto* f = new TCustomFile(parent);
    f->SetName(name);
    f->SetSize(size);
  }

  // The node whose name (the text before the size) is given; "" is the root.
  TFileNode* Node(const std::string& name) { return Find(selection.Root(), name); }
  static TFileNode* Find(TFileNode* n, const std::string& name) {
    if (name.empty()) return n;
    for (auto& c : n->Children) {
      if (c.Data->Name() == name) return &c;
      if (TFileNode* found = Find(&c, name)) return found;
    }
    return nullptr;
  }

  TCustomDir root;
  TFileSelection selection;
};

}  // namespace testsupport
