// The scan over listed folders: no file system involved (on a real one:
// ScanOnDiskTest.cpp).

#include <gtest/gtest.h>

#include <map>

#include "TreeDump.h"
#include "engine/FileTree.h"

namespace {

using engine_test::Dump;

using platform::DirectoryEntry;

// Lists folders from a table, in the table's order; folders not in the table
// cannot be listed. Records which folders were asked for.
class TableEnumerator final : public platform::IDirectoryEnumerator {
 public:
  std::map<std::filesystem::path, std::vector<DirectoryEntry>> folders;
  std::vector<std::filesystem::path> asked;

  bool List(const std::filesystem::path& folder, std::vector<DirectoryEntry>& entries) override {
    asked.push_back(folder);
    entries.clear();
    const auto it = folders.find(folder);
    if (it == folders.end()) return false;
    entries = it->second;
    return true;
  }
};

DirectoryEntry Folder(const char* name, std::uint32_t extra = 0) { return {name, 0x10 | extra, 0}; }
DirectoryEntry File(const char* name, std::int64_t size, std::uint32_t extra = 0) {
  return {name, 0x20 | extra, size};
}

TEST(Scan, FoldersFirstThenFilesInEnumerationOrder) {
  TableEnumerator disc;
  disc.folders["/media/u/D"] = {Folder("A"), Folder("B"), File("z.txt", 3),
                                File(".hidden", 5, 0x02)};
  disc.folders["/media/u/D/A"] = {File("a.txt", 7)};
  disc.folders["/media/u/D/B"] = {};
  TCustomDir root;
  root.SetName("/media/u/D");
  root.SetAttr(0x08);
  root.Scan("/media/u/D", true, disc);
  EXPECT_EQ(Dump(root),
            "A 7 10\n"
            "  a.txt 7 20\n"
            "B 0 10\n"
            "z.txt 3 20\n"
            ".hidden 5 22\n");
  EXPECT_EQ(root.Files(0)->Level(), 1);
  EXPECT_EQ(dynamic_cast<TCustomDir*>(root.Files(0))->Files(0)->FullName(), "/media/u/D/A/a.txt");
  EXPECT_EQ(root.Size(), 3 + 5);  // direct children only; subfolder contents not included
}

// One listed tree, scanned with or without files: what the model holds, and
// a folder the scan must never ask for.
struct ScanRow {
  const char* name;
  std::map<std::filesystem::path, std::vector<DirectoryEntry>> folders;
  std::filesystem::path root;
  bool withFiles;
  std::string dump;
  std::filesystem::path neverAsked;  // empty: no such folder
};

void PrintTo(const ScanRow& row, std::ostream* os) { *os << row.name; }

class ScanTable : public ::testing::TestWithParam<ScanRow> {};

TEST_P(ScanTable, BuildsTheTree) {
  const auto& row = GetParam();
  TableEnumerator disc;
  disc.folders = row.folders;
  TCustomDir root;
  root.Scan(row.root, row.withFiles, disc);
  EXPECT_EQ(Dump(root), row.dump);
  if (!row.neverAsked.empty()) {
    for (const auto& p : disc.asked) EXPECT_NE(p, row.neverAsked);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Trees, ScanTable,
    ::testing::Values(
        ScanRow{.name = "without_files_only_folders",
                .folders = {{"/d", {File("f", 1), Folder("A")}},
                            {"/d/A", {File("g", 1), Folder("C")}},
                            {"/d/A/C", {}}},
                .root = "/d",
                .withFiles = false,
                .dump = "A 0 10\n  C 0 10\n",
                .neverAsked = ""},
        ScanRow{
            .name = "dot_folders_neither_listed_nor_entered",
            .folders = {{"/d", {Folder("."), Folder(".."), Folder(".config"), File(".profile", 2)}},
                        {"/d/.config", {File("secret", 1)}}},
            .root = "/d",
            .withFiles = true,
            .dump = ".profile 2 20\n",
            .neverAsked = "/d/.config"},
        ScanRow{.name = "links_to_folders_never_entered_nor_listed",
                .folders = {{"/d", {Folder("loop", 0x400), File("linked.txt", 4, 0x400)}},
                            {"/d/loop", {Folder("loop", 0x400)}}},
                .root = "/d",
                .withFiles = true,
                .dump = "linked.txt 4 20\n",
                .neverAsked = "/d/loop"},
        ScanRow{.name = "unlistable_folder_stays_childless",
                .folders = {{"/d", {Folder("bad"), Folder("good"), File("f", 1)}},
                            {"/d/good", {File("g", 2)}}},  // "/d/bad" cannot be listed
                .root = "/d",
                .withFiles = true,
                .dump = "bad 0 10\ngood 2 10\n  g 2 20\nf 1 20\n",
                .neverAsked = ""},
        ScanRow{.name = "missing_root_adds_nothing",
                .folders = {},
                .root = "/nowhere",
                .withFiles = true,
                .dump = "",
                .neverAsked = ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
