// The scan on the real file system of the running system: sparse files,
// links, trees deeper than the longest path, folders another user may not read.

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>

#include "TempDir.h"
#include "TreeDump.h"
#include "engine/FileTree.h"

namespace {

using engine_test::Dump;

// Lowers the process's limit of open descriptors for a scope.
class ScopedDescriptorLimit {
 public:
  explicit ScopedDescriptorLimit(rlim_t aLimit) {
    ::getrlimit(RLIMIT_NOFILE, &FOld);
    rlimit lowered = FOld;
    lowered.rlim_cur = aLimit;
    ::setrlimit(RLIMIT_NOFILE, &lowered);
  }
  ~ScopedDescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &FOld); }

 private:
  rlimit FOld{};
};

// On the real file system: hidden entries, sizes past 4 GiB (sparse), a
// symbolic link loop and a link to a file.
TEST(ScanOnDisk, ReadsARealTree) {
  testsupport::TempDir dir;
  const auto disc = dir / "disc";
  std::filesystem::create_directories(disc / "A" / "deep");
  std::filesystem::create_directories(disc / ".cache");
  testsupport::WriteFileBytes(disc / "A" / "a.txt", "12345");
  testsupport::WriteFileBytes(disc / ".hidden", "x");
  testsupport::WriteFileBytes(disc / ".cache" / "c", "c");
  { std::ofstream big(disc / "big.iso", std::ios::binary); }
  std::filesystem::resize_file(disc / "big.iso", (std::uintmax_t{9} << 29) + 1);  // 4.5 GiB + 1
  std::filesystem::create_directory_symlink("..", disc / "A" / "up");             // a loop
  std::filesystem::create_symlink("A/a.txt", disc / "alias.txt");
  std::filesystem::create_symlink("missing", disc / "dangling");
  ASSERT_EQ(::chmod((disc / "A" / "a.txt").c_str(), 0444), 0);

  TCustomDir root;
  root.SetName(disc);
  root.SetAttr(0x08);
  root.Scan(disc, true);
  // Files of one folder come in the order the system lists them; compare as sets.
  const auto text = Dump(root);
  EXPECT_NE(text.find("A 5 10\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  deep 0 10\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  a.txt 5 21\n"), std::string::npos) << text;  // read-only
  EXPECT_NE(text.find("\n.hidden 1 22\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nbig.iso 4831838209 20\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nalias.txt 5 21\n"), std::string::npos) << text;  // the file it points to
  EXPECT_EQ(text.find("up"), std::string::npos) << text;
  EXPECT_EQ(text.find("dangling"), std::string::npos) << text;
  EXPECT_EQ(text.find("cache"), std::string::npos) << text;
  // Folders come before the files of the same folder.
  EXPECT_EQ(root.Files(0)->Name(), "A");
  EXPECT_EQ(root.Count(), 4);
}

// A tree whose paths are longer than the system accepts (1000 levels of
// "level/", 6000 bytes past 4096) is read whole: folders open relative to
// their parent. (velmora-cli scan is tried on 5000 levels.)
TEST(ScanOnDisk, DepthIsBoundedOnlyByMemory) {
  constexpr int kDepth = 1000;
  testsupport::TempDir dir;
  testsupport::MakeNestedFolders(dir.path(), kDepth, "level");
  TCustomDir root;
  {
    // Few descriptors: a walk holding one per level would run out.
    ScopedDescriptorLimit limit(64);
    root.Scan(dir.path(), true);
  }
  int depth = 0;
  for (const TCustomDir* d = &root; d->Count() == 1; ++depth) {
    d = dynamic_cast<const TCustomDir*>(d->Files(0));
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(d->Name(), "level");
  }
  EXPECT_EQ(depth, kDepth);
}

// Each level of a chain deeper than the folders a walk keeps open has a
// second folder holding a file; whichever the system lists first, the walk
// comes back for the other through reopened ancestors.
TEST(ScanOnDisk, SiblingsFarDownAreEnteredAfterTheWalkComesBack) {
  constexpr int kDepth = 100;
  testsupport::TempDir dir;
  testsupport::MakeNestedFolders(dir.path(), kDepth, "a");
  std::filesystem::path level = dir.path();
  for (int i = 0; i < kDepth; ++i, level /= "a") {
    std::filesystem::create_directory(level / "b");
    testsupport::WriteFileBytes(level / "b" / "f", std::to_string(i));
  }
  TCustomDir root;
  {
    ScopedDescriptorLimit limit(64);
    root.Scan(dir.path(), true);
  }
  const TCustomDir* d = &root;
  for (int i = 0; i < kDepth; ++i) {
    ASSERT_EQ(d->Count(), 2) << "level " << i;
    const TCustomDir* a = nullptr;
    for (int k = 0; k < 2; ++k) {
      const auto* sub = dynamic_cast<const TCustomDir*>(d->Files(k));
      ASSERT_NE(sub, nullptr);
      if (sub->Name() == "a") a = sub;
      if (sub->Name() == "b") {
        ASSERT_EQ(sub->Count(), 1) << "level " << i;
        EXPECT_EQ(sub->Files(0)->Size(), static_cast<std::int64_t>(std::to_string(i).size()));
      }
    }
    ASSERT_NE(a, nullptr) << "level " << i;
    d = a;
  }
}

// A real folder the scanning user may not read. Root reads chmod-000 folders,
// so the scan runs in a child process that has given up root.
TEST(ScanOnDisk, UnreadableFolderStaysChildless) {
  testsupport::TempDir dir;
  std::filesystem::create_directories(dir / "locked");
  std::filesystem::create_directories(dir / "open");
  testsupport::WriteFileBytes(dir / "locked" / "f", "x");
  testsupport::WriteFileBytes(dir / "open" / "g", "y");
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod((dir / "open").c_str(), 0755), 0);
  ASSERT_EQ(::chmod((dir / "locked").c_str(), 0), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(99);
    TCustomDir root;
    root.Scan(dir.path(), true);
    // Report the shape: folders, children of "locked", children of "open".
    int code = root.Count() * 16;
    for (int i = 0; i < root.Count(); ++i) {
      const auto* sub = dynamic_cast<const TCustomDir*>(root.Files(i));
      if (!sub) continue;
      code += (sub->Name() == "locked" ? 1 : 4) * sub->Count();
    }
    ::_exit(code);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2 * 16 + 0 + 4) << "99: could not drop root";
}

}  // namespace
