// Version notes as the build embeds them, read back in-process; and tiny
// hand-made ELF files of both word sizes and byte orders.

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "RunProcess.h"
#include "TempDir.h"
#include "platform/VersionResource.h"
#include "support/uFileVersion.h"

namespace {

using testsupport::BinDir;
using testsupport::TempDir;

std::vector<char> Block(const std::filesystem::path& file) {
  std::vector<char> block(platform::FileVersionInfoSize(file));
  if (!block.empty()) {
    EXPECT_TRUE(platform::ReadFileVersionInfo(file, block));
  }
  return block;
}

std::string Query(const std::vector<char>& block, const std::string& subBlock) {
  std::string_view value;
  if (!platform::QueryVersionValue(block, subBlock, value)) return "<none>";
  return std::string(value);
}

TEST(VersionNote, MainProgramShapeCarriesAllItsEntries) {
  const auto block = Block(BinDir() / "velmora-cli");
  ASSERT_FALSE(block.empty());
  EXPECT_EQ(Query(block, "\\StringFileInfo\\040904E4\\FileVersion"), "2.0.0.0");
  EXPECT_EQ(Query(block, "StringFileInfo\\040904E4\\ProductVersion"), "2.0.0.0");
  EXPECT_EQ(Query(block, "StringFileInfo\\040904E4\\ProductName"), "Velmora Free");
  EXPECT_EQ(Query(block, "StringFileInfo\\040904E4\\CompanyName"), "Velmora Software");
  EXPECT_EQ(Query(block, "stringfileinfo\\040904e4\\fileversion"),
            "2.0.0.0");  // as Windows: case-blind
  EXPECT_EQ(Query(block, "StringFileInfo\\040904E4\\Comments"), "<none>");
  platform::TFixedFileVersion fixed;
  ASSERT_TRUE(platform::QueryFixedFileVersion(block, fixed));
  EXPECT_EQ(fixed.FileVersion, (std::array<std::uint16_t, 4>{2, 0, 0, 0}));
  EXPECT_EQ(fixed.ProductVersion, (std::array<std::uint16_t, 4>{2, 0, 0, 0}));
  EXPECT_EQ(fixed.Language, 0x0409);
  EXPECT_EQ(fixed.CodePage, 0x04E4);
}

TEST(VersionNote, LauncherShapeHasNoProductOrCompanyName) {
  const auto file = BinDir() / "version_fixture_launcher";
  EXPECT_EQ(GetFileVersion(file), "1.0.0.0");
  const auto block = Block(file);
  EXPECT_EQ(Query(block, "StringFileInfo\\040904E4\\ProductVersion"), "1.0.0.0");
  EXPECT_EQ(Query(block, "StringFileInfo\\040904E4\\ProductName"), "<none>");
  EXPECT_EQ(Query(block, "StringFileInfo\\040904E4\\CompanyName"), "<none>");
  platform::TFixedFileVersion fixed;
  ASSERT_TRUE(platform::QueryFixedFileVersion(block, fixed));
  EXPECT_EQ(fixed.FileVersion, (std::array<std::uint16_t, 4>{1, 0, 0, 0}));
}

TEST(VersionNote, StringsOnlyUnderAnotherTableGiveNoVersion) {
  const auto file = BinDir() / "version_fixture_other_table";
  EXPECT_EQ(GetFileVersion(file), "");
  // The note is there, only under the Unicode table.
  EXPECT_EQ(Query(Block(file), "StringFileInfo\\040904B0\\FileVersion"), "2.0.0.0");
}

TEST(VersionNote, RunningProgramReadsItsOwnNote) {
  EXPECT_EQ(GetSelfApplicationVersion(), "0.9.8.7");
}

TEST(VersionNote, BlockTooSmallIsNotFilled) {
  const auto file = BinDir() / "velmora-cli";
  std::vector<char> small(platform::FileVersionInfoSize(file) - 1, 'x');
  EXPECT_FALSE(platform::ReadFileVersionInfo(file, small));
  EXPECT_EQ(small, std::vector<char>(small.size(), '\0'));
  std::string_view value;
  EXPECT_FALSE(platform::QueryVersionValue(small, "StringFileInfo\\040904E4\\FileVersion", value));
}

// ---- Hand-made ELF files: the reader follows the file's word size and byte order.

struct ElfShape {
  const char* name;
  bool is64;
  bool bigEndian;
  bool sectionHeaders;  // false: only the program headers point at the note
};

// Test names show the row name, not the row's bytes.
void PrintTo(const ElfShape& row, std::ostream* os) { *os << row.name; }

class ElfBuilder {
 public:
  explicit ElfBuilder(const ElfShape& shape) : s_(shape) {}

  std::string Build(const std::string& version) {
    // Layout: ELF header, one program header, the note at 0x100, section headers after it.
    const std::size_t ehSize = s_.is64 ? 64 : 52, phSize = s_.is64 ? 56 : 32,
                      shSize = s_.is64 ? 64 : 40;
    std::string strings = "StringFileInfo\\040904E4\\FileVersion=" + version + '\0';
    while (strings.size() % 4) strings += '\0';
    const std::size_t descSize = 24 + strings.size();
    const std::size_t noteAt = 0x100, noteSize = 12 + 8 + descSize;
    const std::size_t shAt = noteAt + noteSize;
    bytes_.assign(shAt + 2 * shSize, '\0');

    bytes_.replace(0, 4,
                   "\x7f"
                   "ELF");
    bytes_[4] = s_.is64 ? 2 : 1;
    bytes_[5] = s_.bigEndian ? 2 : 1;
    bytes_[6] = 1;
    Put(16, 2, 2);  // ET_EXEC
    Put(18, 2, s_.bigEndian ? 43 : 62);
    Put(20, 4, 1);
    const std::size_t w = s_.is64 ? 8 : 4;
    Put(s_.is64 ? 32 : 28, w, ehSize);                        // e_phoff
    Put(s_.is64 ? 40 : 32, w, s_.sectionHeaders ? shAt : 0);  // e_shoff
    const std::size_t sizes = s_.is64 ? 52 : 40;
    Put(sizes, 2, ehSize);
    Put(sizes + 2, 2, phSize);
    Put(sizes + 4, 2, 1);
    Put(sizes + 6, 2, shSize);
    Put(sizes + 8, 2, s_.sectionHeaders ? 2 : 0);

    // PT_NOTE
    Put(ehSize, 4, 4);
    Put(ehSize + (s_.is64 ? 8 : 4), w, noteAt);
    Put(ehSize + (s_.is64 ? 32 : 16), w, noteSize);
    Put(ehSize + (s_.is64 ? 48 : 28), w, 4);

    // The note
    Put(noteAt, 4, 8);
    Put(noteAt + 4, 4, descSize);
    Put(noteAt + 8, 4, 1);
    bytes_.replace(noteAt + 12, 8, std::string("Velmora\0", 8));
    const std::size_t desc = noteAt + 20;
    Put(desc, 4, 1);
    const std::uint16_t fixed[10] = {3, 1, 4, 1, 3, 1, 4, 1, 0x0409, 0x04E4};
    for (int i = 0; i < 10; ++i) Put(desc + 4 + 2 * static_cast<std::size_t>(i), 2, fixed[i]);
    bytes_.replace(desc + 24, strings.size(), strings);

    // Section 1: SHT_NOTE over the note (section 0 stays the null section).
    const std::size_t sh = shAt + shSize;
    Put(sh + 4, 4, 7);
    Put(sh + (s_.is64 ? 24 : 16), w, noteAt);
    Put(sh + (s_.is64 ? 32 : 20), w, noteSize);
    Put(sh + (s_.is64 ? 48 : 32), w, 4);
    return bytes_;
  }

 private:
  void Put(std::size_t at, std::size_t size, std::uint64_t value) {
    for (std::size_t i = 0; i < size; ++i) {
      const std::size_t shift = 8 * (s_.bigEndian ? size - 1 - i : i);
      bytes_[at + i] = static_cast<char>((value >> shift) & 0xff);
    }
  }

  ElfShape s_;
  std::string bytes_;
};

class HandMadeElf : public testing::TestWithParam<ElfShape> {};

TEST_P(HandMadeElf, FileVersionIsFound) {
  TempDir dir;
  const auto file = dir / "program";
  testsupport::WriteFileBytes(file, ElfBuilder(GetParam()).Build("3.1.4.1"));
  EXPECT_EQ(GetFileVersion(file), "3.1.4.1");
  platform::TFixedFileVersion fixed;
  ASSERT_TRUE(platform::QueryFixedFileVersion(Block(file), fixed));
  EXPECT_EQ(fixed.FileVersion, (std::array<std::uint16_t, 4>{3, 1, 4, 1}));
  EXPECT_EQ(fixed.CodePage, 0x04E4);
}

INSTANTIATE_TEST_SUITE_P(Shapes, HandMadeElf,
                         testing::Values(ElfShape{"Elf64LittleEndian", true, false, true},
                                         ElfShape{"Elf64BigEndian", true, true, true},
                                         ElfShape{"Elf32LittleEndian", false, false, true},
                                         ElfShape{"Elf32BigEndian", false, true, true},
                                         ElfShape{"Elf64WithoutSectionHeaders", true, false, false},
                                         ElfShape{"Elf32BigEndianWithoutSectionHeaders", false,
                                                  true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
