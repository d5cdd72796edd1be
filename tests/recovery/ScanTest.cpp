// The disc scan on a damaged disc served by FUSE: a folder that cannot be
// listed, a dot-folder and a link loop.

#include <gtest/gtest.h>

#include <algorithm>

#include "FaultDisc.h"
#include "TempDir.h"
#include "engine/FileTree.h"

namespace recovery_test {
namespace {

using testsupport::FaultDisc;
using testsupport::TempDir;

// "name" for a file, "name/" for a folder, children indented below, sorted by
// name (FUSE lists in the source's order, which no one chose).
void Dump(const TCustomFile& entry, int level, std::string& out) {
  const auto* dir = dynamic_cast<const TCustomDir*>(&entry);
  if (level > 0) {
    out += std::string(static_cast<std::size_t>(level - 1) * 2, ' ') + entry.Name().string() +
           (dir ? "/" : " " + std::to_string(entry.Size())) + '\n';
  }
  if (!dir) return;
  std::vector<const TCustomFile*> children;
  for (std::int32_t i = 0; i < dir->Count(); ++i) children.push_back(dir->Files(i));
  std::sort(children.begin(), children.end(),
            [](const auto* a, const auto* b) { return a->Name() < b->Name(); });
  for (const auto* child : children) Dump(*child, level + 1, out);
}

TEST(ScanOfDamagedDisc, UnreadableFolderStaysChildlessDotFolderAndLinkLoopAreLeftOut) {
  TempDir source;
  const auto& s = source.path();
  std::filesystem::create_directories(s / "AUDIO");
  std::filesystem::create_directories(s / "BROKEN" / "INNER");
  std::filesystem::create_directories(s / "DATA" / "SUB");
  std::filesystem::create_directories(s / ".cache");
  testsupport::WriteFileBytes(s / "AUDIO" / "track01.bin", std::string(100, 'a'));
  testsupport::WriteFileBytes(s / "BROKEN" / "lost.txt", "lost");
  testsupport::WriteFileBytes(s / "BROKEN" / "INNER" / "deep.txt", "deep");
  testsupport::WriteFileBytes(s / "DATA" / "SUB" / "sub.txt", "12345");
  testsupport::WriteFileBytes(s / "DATA" / "data.txt", "123");
  testsupport::WriteFileBytes(s / ".cache" / "hidden.txt", "hidden");
  testsupport::WriteFileBytes(s / "readme.txt", "12");
  std::filesystem::create_directory_symlink("../..", s / "DATA" / "SUB" / "root");  // a loop
  std::filesystem::create_directory_symlink("..", s / "DATA" / "up");               // a loop
  FaultDisc disc(source.path(), "unreadable /BROKEN\n");
  ASSERT_TRUE(std::filesystem::is_symlink(disc / "DATA" / "up")) << "FUSE serves the link";

  TCustomDir root;
  root.SetName(disc.mountPoint());
  root.SetAttr(faVolumeId);
  root.Scan(disc.mountPoint(), true);

  std::string tree;
  Dump(root, 0, tree);
  EXPECT_EQ(tree,
            "AUDIO/\n"
            "  track01.bin 100\n"
            "BROKEN/\n"
            "DATA/\n"
            "  SUB/\n"
            "    sub.txt 5\n"
            "  data.txt 3\n"
            "readme.txt 2\n");
}

}  // namespace
}  // namespace recovery_test
