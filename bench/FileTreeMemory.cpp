// Bytes per entry of the scanned tree (TCustomDir, TCustomFile and their
// names) and of the file page's selection over it, counted by the allocator
// (mallinfo2) for a disc of N entries in folders of 50 with names of a
// camera's length ("IMG_0001234.JPG"). Prints one line of JSON.
//
//   filetree-memory [ENTRIES]     (default 1000000)

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/FileTree.h"
#include "wizard/FileSelection.h"
#include "wizard/FileTreeModel.h"

namespace {

std::size_t HeapInUse() { return mallinfo2().uordblks; }

}  // namespace

int main(int argc, char** argv) {
  const long entries = argc > 1 ? std::atol(argv[1]) : 1'000'000;
  constexpr long kPerFolder = 50;
  const std::size_t before = HeapInUse();
  TCustomDir root;
  root.SetName("/media/user/DISC");
  root.SetAttr(faVolumeId);
  long made = 0;
  for (long folder = 0; made < entries; ++folder) {
    auto* dir = new TCustomDir(&root);
    dir->SetName("DCIM_" + std::to_string(100000 + folder));
    dir->SetAttr(faDirectory);
    ++made;
    for (long i = 1; i < kPerFolder && made < entries; ++i, ++made) {
      auto* file = new TCustomFile(dir);
      file->SetName("IMG_" + std::to_string(1000000 + made) + ".JPG");
      file->SetAttr(faArchive);
      file->SetSize(made % 5000000);
    }
  }
  const std::size_t tree = HeapInUse() - before;
  TFileSelection selection;
  selection.Build(
      root, [](const std::string& a, const std::string& b) { return a < b; }, ".");
  const std::size_t nodes = HeapInUse() - before - tree;
  // Built again as the file page builds it: in the user's alphabetical order.
  const auto start = std::chrono::steady_clock::now();
  selection.Build(root, UserTextOrder(), ".");
  const double sortSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const auto count = static_cast<double>(made);
  std::printf(
      "{\"entries\": %ld, \"tree_bytes_per_entry\": %.1f, \"selection_bytes_per_entry\": %.1f, "
      "\"total_bytes_per_entry\": %.1f, \"build_seconds\": %.3f}\n",
      made, static_cast<double>(tree) / count, static_cast<double>(nodes) / count,
      static_cast<double>(tree + nodes) / count, sortSeconds);
  return 0;
}
