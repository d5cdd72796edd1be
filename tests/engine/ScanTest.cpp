#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "TempDir.h"
#include "engine/FileTree.h"

namespace {

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

// "name size attr" per entry, indented by level below `dir`.
void Dump(const TCustomDir& dir, std::ostringstream& out, int indent = 0) {
  for (int i = 0; i < dir.Count(); ++i) {
    const TCustomFile* f = dir.Files(i);
    out << std::string(static_cast<std::size_t>(indent) * 2, ' ') << f->Name().string() << ' '
        << f->Size() << ' ' << std::hex << int{f->Attr()} << std::dec << '\n';
    if (auto* sub = dynamic_cast<const TCustomDir*>(f)) Dump(*sub, out, indent + 1);
  }
}

std::string Dump(const TCustomDir& dir) {
  std::ostringstream out;
  Dump(dir, out);
  return out.str();
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

TEST(Scan, WithoutFilesAddsOnlyFolders) {
  TableEnumerator disc;
  disc.folders["/d"] = {File("f", 1), Folder("A")};
  disc.folders["/d/A"] = {File("g", 1), Folder("C")};
  disc.folders["/d/A/C"] = {};
  TCustomDir root;
  root.Scan("/d", false, disc);
  EXPECT_EQ(Dump(root), "A 0 10\n  C 0 10\n");
}

TEST(Scan, DotFoldersAreNeitherListedNorEntered) {
  TableEnumerator disc;
  disc.folders["/d"] = {Folder("."), Folder(".."), Folder(".config"), File(".profile", 2)};
  disc.folders["/d/.config"] = {File("secret", 1)};
  TCustomDir root;
  root.Scan("/d", true, disc);
  EXPECT_EQ(Dump(root), ".profile 2 20\n");
  for (const auto& p : disc.asked) EXPECT_NE(p, "/d/.config");
}

TEST(Scan, LinksToFoldersAreNeverEnteredNorListed) {
  TableEnumerator disc;
  disc.folders["/d"] = {Folder("loop", 0x400), File("linked.txt", 4, 0x400)};
  disc.folders["/d/loop"] = {Folder("loop", 0x400)};
  TCustomDir root;
  root.Scan("/d", true, disc);
  EXPECT_EQ(Dump(root), "linked.txt 4 20\n");
  for (const auto& p : disc.asked) EXPECT_NE(p, "/d/loop");
}

TEST(Scan, AFolderThatCannotBeListedStaysChildless) {
  TableEnumerator disc;
  disc.folders["/d"] = {Folder("bad"), Folder("good"), File("f", 1)};
  disc.folders["/d/good"] = {File("g", 2)};  // "/d/bad" is missing: listing fails
  TCustomDir root;
  root.Scan("/d", true, disc);
  EXPECT_EQ(Dump(root), "bad 0 10\ngood 2 10\n  g 2 20\nf 1 20\n");
}

TEST(Scan, AMissingFolderAddsNothing) {
  TableEnumerator disc;
  TCustomDir root;
  root.Scan("/nowhere", true, disc);
  EXPECT_EQ(root.Count(), 0);
}

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
