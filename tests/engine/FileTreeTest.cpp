#include <gtest/gtest.h>

#include <memory>

#include "engine/FileTree.h"

namespace {

platform::DirectoryEntry Rec(const char* name, std::int64_t size, std::uint32_t attr = 0x20) {
  return {name, attr, size};
}

TEST(FileTreeSizes, NewFolderGoesToTheEndAndLeavesParentSize) {
  TCustomDir root;
  auto* first = new TCustomFile(&root);
  first->SetSize(10);
  auto* dir = new TCustomDir(&root);
  ASSERT_EQ(root.Count(), 2);
  EXPECT_EQ(root.Files(1), dir);
  EXPECT_EQ(dir->Dir(), &root);
  EXPECT_EQ(root.Size(), 10);
}

TEST(FileTreeSizes, LoadAndAssignCorrectTheParentOnlyOneLevelUp) {
  TCustomDir grand;
  auto* parent = new TCustomDir(&grand);
  parent->SetSize(500);
  const auto grandSize = grand.Size();
  auto* entry = new TCustomFile(parent);
  entry->LoadFromRec(Rec("x.bin", 1000));
  EXPECT_EQ(parent->Size(), 1500);
  EXPECT_EQ(grand.Size(), grandSize);
  entry->SetSize(200);
  EXPECT_EQ(parent->Size(), 700);
  EXPECT_EQ(grand.Size(), grandSize);
}

TEST(FileTreeSizes, LoadFromRecKeepsTheLowEightAttributeBits) {
  TCustomFile entry;
  entry.LoadFromRec(Rec("link", 7, 0x430));
  EXPECT_EQ(entry.Attr(), 0x30);
  EXPECT_EQ(entry.Name(), "link");
  EXPECT_EQ(entry.Size(), 7);
}

TEST(FileTreeSizes, SixtyFourBitSizesAddUp) {
  TCustomDir dir;
  auto* big = new TCustomFile(&dir);
  big->SetSize(std::int64_t{5} << 32);
  auto* other = new TCustomFile(&dir);
  other->SetSize(std::int64_t{3} << 32);
  EXPECT_EQ(dir.Size(), std::int64_t{8} << 32);
}

TEST(FileTreeOwnership, AddingToAnotherFolderMovesTheEntry) {
  TCustomDir root;
  auto* a = new TCustomDir(&root);
  auto* b = new TCustomDir(&root);
  auto* f = new TCustomFile(a);
  f->SetSize(40);
  b->Add(f);
  EXPECT_EQ(a->Count(), 0);
  EXPECT_EQ(a->Size(), 0);
  ASSERT_EQ(b->Count(), 1);
  EXPECT_EQ(b->Files(0), f);
  EXPECT_EQ(b->Size(), 40);
  EXPECT_EQ(f->Dir(), b);
}

TEST(FileTreeOwnership, AssigningTheSameParentMovesToTheEnd) {
  TCustomDir root;
  auto* x = new TCustomFile(&root);
  x->SetSize(3);
  auto* y = new TCustomFile(&root);
  y->SetSize(4);
  x->SetDir(&root);
  ASSERT_EQ(root.Count(), 2);
  EXPECT_EQ(root.Files(0), y);
  EXPECT_EQ(root.Files(1), x);
  EXPECT_EQ(root.Size(), 7);
}

TEST(FileTreeOwnership, DeletingAChildDetachesItAndSubtractsItsSize) {
  TCustomDir root;
  auto* keep = new TCustomFile(&root);
  keep->SetSize(1);
  auto* gone = new TCustomFile(&root);
  gone->SetSize(9);
  delete gone;
  ASSERT_EQ(root.Count(), 1);
  EXPECT_EQ(root.Files(0), keep);
  EXPECT_EQ(root.Size(), 1);
}

TEST(FileTreeOwnership, DeleteOfAStrangerIsIgnoredAndDeleteDoesNotDestroy) {
  TCustomDir a, b;
  auto* f = new TCustomFile(&a);
  f->SetSize(5);
  b.Delete(f);
  EXPECT_EQ(f->Dir(), &a);
  EXPECT_EQ(a.Count(), 1);
  a.Delete(f);  // now detached and ours
  std::unique_ptr<TCustomFile> owned(f);
  EXPECT_EQ(owned->Dir(), nullptr);
  EXPECT_EQ(a.Count(), 0);
  EXPECT_EQ(a.Size(), 0);
  EXPECT_EQ(owned->Size(), 5);
}

TEST(FileTreeOwnership, AddingNullThrowsAndChangesNothing) {
  TCustomDir dir;
  try {
    dir.Add(nullptr);
    FAIL() << "no exception";
  } catch (const IncorrectParameterException& e) {
    EXPECT_STREQ(e.what(), "Parameter has incorrect type.");
  }
  EXPECT_EQ(dir.Count(), 0);
}

TEST(FileTreeOwnership, IndexOutOfRangeThrowsWithTheIndex) {
  TCustomDir dir;
  new TCustomFile(&dir);
  TCustomFileList list;
  for (int i : {-1, 1}) {
    try {
      dir.GetFiles(i);
      FAIL() << "no exception for " << i;
    } catch (const ListIndexException& e) {
      EXPECT_EQ(std::string(e.what()), "List index out of bounds (" + std::to_string(i) + ")");
    }
    EXPECT_THROW(list.GetFiles(i), std::out_of_range);
  }
}

// Deleting the root frees the whole tree (the sanitizer build reports leaks).
TEST(FileTreeOwnership, ClearAndDestroyFreeTheSubtree) {
  auto root = std::make_unique<TCustomDir>();
  auto* a = new TCustomDir(root.get());
  new TCustomFile(new TCustomDir(a));
  new TCustomFile(root.get());
  root->Clear();
  EXPECT_EQ(root->Count(), 0);
  new TCustomFile(new TCustomDir(root.get()));
  root.reset();
}

TEST(FileTreeList, ListDoesNotOwnAndCountsDuplicates) {
  TCustomDir root;
  auto* f = new TCustomFile(&root);
  f->SetSize(std::int64_t{3} << 31);
  auto* g = new TCustomFile(&root);
  g->SetSize(1);
  {
    TCustomFileList list;
    EXPECT_EQ(list.Size(), 0);
    list.Add(f);
    list.Add(g);
    list.Add(f);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Size(), (std::int64_t{3} << 32) + 1);
    list.Delete(f);  // the first occurrence only
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Files(0), g);
    EXPECT_EQ(list.Files(1), f);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    list.Add(g);
  }
  EXPECT_EQ(root.Count(), 2);
  EXPECT_EQ(g->Size(), 1);
}

// root (named after the drive, 0x08) / a / b / x.txt
struct PathRow {
  const char* testName;
  const char* rootName;
  std::uint8_t rootAttr;
  int depth;  // 0 root, 1 a, 2 b, 3 x.txt
  int level;
  const char* path;
  const char* pathNoDrive;
  const char* fullName;
};

void PrintTo(const PathRow& row, std::ostream* os) { *os << row.testName; }

class FileTreePaths : public testing::TestWithParam<PathRow> {};

TEST_P(FileTreePaths, BuildsPathsFromTheParentChain) {
  const auto& row = GetParam();
  TCustomDir root;
  root.SetName(row.rootName);
  root.SetAttr(row.rootAttr);
  auto* a = new TCustomDir(&root);
  a->SetName("a");
  auto* b = new TCustomDir(a);
  b->SetName("b");
  auto* x = new TCustomFile(b);
  x->SetName("x.txt");
  const TCustomFile* entries[] = {&root, a, b, x};
  const TCustomFile* e = entries[row.depth];
  EXPECT_EQ(e->Level(), row.level);
  EXPECT_EQ(e->Path().native(), row.path);
  EXPECT_EQ(e->PathNoDrive().native(), row.pathNoDrive);
  EXPECT_EQ(e->FullName().native(), row.fullName);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FileTreePaths,
    testing::Values(PathRow{"MountPointRoot", "/media/u/D", 0x08, 0, 0, "", "", "//media/u/D"},
                    PathRow{"MountPointFolderA", "/media/u/D", 0x08, 1, 1, "/media/u/D", "",
                            "/media/u/D/a"},
                    PathRow{"MountPointFolderB", "/media/u/D", 0x08, 2, 2, "/media/u/D/a", "a",
                            "/media/u/D/a/b"},
                    PathRow{"MountPointFile", "/media/u/D", 0x08, 3, 3, "/media/u/D/a/b", "a/b",
                            "/media/u/D/a/b/x.txt"},
                    PathRow{"LiteralRootName", "D:", 0x08, 0, 0, "", "", "/D:"},
                    PathRow{"LiteralRootFile", "D:", 0x08, 3, 3, "D:/a/b", "a/b", "D:/a/b/x.txt"},
                    PathRow{"SlashRootAddsNoSecondDelimiter", "/", 0x08, 1, 1, "/", "", "/a"},
                    PathRow{"RootWithoutDriveBitIsInPathNoDrive", "D:", 0x00, 3, 3, "D:/a/b",
                            "D:/a/b", "D:/a/b/x.txt"},
                    PathRow{"RootWithoutDriveBitFolderA", "/media/u/D", 0x00, 1, 1, "/media/u/D",
                            "/media/u/D", "/media/u/D/a"}),
    [](const auto& info) { return std::string(info.param.testName); });

TEST(FileTreePaths, FileDirectlyInTheRoot) {
  TCustomDir root;
  root.SetName("/media/u/D");
  root.SetAttr(0x08);
  auto* f = new TCustomFile(&root);
  f->SetName("z.txt");
  EXPECT_EQ(f->Path(), "/media/u/D");
  EXPECT_TRUE(f->PathNoDrive().empty());
  EXPECT_EQ(f->FullName(), "/media/u/D/z.txt");
}

}  // namespace
