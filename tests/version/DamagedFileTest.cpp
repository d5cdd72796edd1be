// Damaged, truncated and foreign files: the reader answers "" (or the
// version, where the loader's view of the file still holds the note) and
// never reads outside the file. Run under AddressSanitizer by the test command.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <ostream>
#include <random>
#include <string>

#include "RunProcess.h"
#include "TempDir.h"
#include "platform/VersionResource.h"
#include "support/uFileVersion.h"

namespace {

using testsupport::BinDir;
using testsupport::TempDir;

// A small real program with a note ("1.0.0.0"), and where its note lies.
struct Program {
  std::string bytes;
  std::size_t noteHeader = 0;  // offset of the note's namesz
  std::size_t noteEnd = 0;     // first byte after its desc
};

const Program& LauncherShape() {
  static const Program program = [] {
    Program p;
    p.bytes = testsupport::ReadFileBytes(BinDir() / "version_fixture_launcher");
    const auto name = p.bytes.find(std::string("Velmora\0", 8));
    EXPECT_NE(name, std::string::npos);
    p.noteHeader = name - 12;
    std::uint32_t descsz = 0;
    std::memcpy(&descsz, &p.bytes[name - 8], 4);
    p.noteEnd = name + 8 + descsz;
    return p;
  }();
  return program;
}

void Put32(std::string& bytes, std::size_t at, std::uint32_t value) {
  std::memcpy(&bytes[at], &value, 4);
}
void Put16(std::string& bytes, std::size_t at, std::uint16_t value) {
  std::memcpy(&bytes[at], &value, 2);
}
void Put64(std::string& bytes, std::size_t at, std::uint64_t value) {
  std::memcpy(&bytes[at], &value, 8);
}

std::string VersionOfBytes(const std::string& bytes) {
  TempDir dir;
  testsupport::WriteFileBytes(dir / "program", bytes);
  return GetFileVersion(dir / "program");
}

struct DamageCase {
  const char* name;
  std::function<std::string(const Program&)> make;
  std::string expected;
};

// Test names show the row name, not the row's bytes.
void PrintTo(const DamageCase& row, std::ostream* os) { *os << row.name; }

class DamagedProgram : public testing::TestWithParam<DamageCase> {};

TEST_P(DamagedProgram, GivesExpectedVersion) {
  ASSERT_LT(LauncherShape().noteEnd, LauncherShape().bytes.size());
  EXPECT_EQ(VersionOfBytes(GetParam().make(LauncherShape())), GetParam().expected);
}

// Offsets of the 64-bit little-endian header fields.
constexpr std::size_t kPhoff = 32, kShoff = 40, kPhnum = 56, kShentsize = 58, kShnum = 60;

INSTANTIATE_TEST_SUITE_P(
    Inputs, DamagedProgram,
    testing::Values(DamageCase{"Intact", [](const Program& p) { return p.bytes; }, "1.0.0.0"},
                    DamageCase{"ZeroLength", [](const Program&) { return std::string(); }, ""},
                    DamageCase{"OnlyTheMagic",
                               [](const Program&) {
                                 return std::string(
                                     "\x7f"
                                     "ELF");
                               },
                               ""},
                    DamageCase{"WrongMagic",
                               [](const Program& p) {
                                 return "\x7f"
                                        "ELG" +
                                        p.bytes.substr(4);
                               },
                               ""},
                    DamageCase{"UnknownWordSize",
                               [](const Program& p) {
                                 auto b = p.bytes;
                                 b[4] = 3;
                                 return b;
                               },
                               ""},
                    DamageCase{"TextFile",
                               [](const Program&) { return std::string("FileVersion=2.0.0.0\n"); },
                               ""},
                    DamageCase{"NoteDescSizeBeyondFile",
                               [](const Program& p) {
                                 auto b = p.bytes;
                                 Put32(b, p.noteHeader + 4, 0xFFFFFFF0u);
                                 return b;
                               },
                               ""},
                    DamageCase{"NoteNameSizeBeyondFile",
                               [](const Program& p) {
                                 auto b = p.bytes;
                                 Put32(b, p.noteHeader, 0xFFFFFFFFu);
                                 return b;
                               },
                               ""},
                    DamageCase{"NoteDescTooShortForFixedPart",
                               [](const Program& p) {
                                 auto b = p.bytes;
                                 Put32(b, p.noteHeader + 4, 8);
                                 return b;
                               },
                               ""},
                    DamageCase{"UnknownNoteLayout",
                               [](const Program& p) {
                                 auto b = p.bytes;
                                 Put32(b, p.noteHeader + 20, 2);
                                 return b;
                               },
                               ""},
                    DamageCase{"OtherNoteType",
                               [](const Program& p) {
                                 auto b = p.bytes;
                                 Put32(b, p.noteHeader + 8, 2);
                                 return b;
                               },
                               ""},
                    DamageCase{"UnterminatedStringsStopAtTheNotesEnd",
                               [](const Program& p) {
                                 auto b = p.bytes;
                                 for (std::size_t i = p.noteHeader + 44; i < p.noteEnd; ++i)
                                   b[i] = b[i] ? b[i] : 'x';
                                 return b;
                               },
                               "1.0.0.0xStringFileInfo\\040904E4\\ProductVersion=1.0.0.0xx"},
                    // Section headers unreadable: the program headers still lead to the note.
                    DamageCase{"SectionTableOffsetBeyondFile",
                               [](const Program& p) {
                                 auto b = p.bytes;
                                 Put64(b, kShoff, ~std::uint64_t{0} - 8);
                                 return b;
                               },
                               "1.0.0.0"},
                    DamageCase{"SectionCountHuge",
                               [](const Program& p) {
                                 auto b = p.bytes;
                                 Put16(b, kShnum, 0xFFFF);
                                 return b;
                               },
                               "1.0.0.0"},
                    DamageCase{"SectionEntrySizeTooSmall",
                               [](const Program& p) {
                                 auto b = p.bytes;
                                 Put16(b, kShentsize, 1);
                                 return b;
                               },
                               "1.0.0.0"},
                    DamageCase{"ProgramTableOffsetBeyondFileAndNoSections",
                               [](const Program& p) {
                                 auto b = p.bytes;
                                 Put64(b, kPhoff, ~std::uint64_t{0});
                                 Put64(b, kShoff, 0);
                                 return b;
                               },
                               ""},
                    DamageCase{"ProgramCountHugeAndNoSections",
                               [](const Program& p) {
                                 auto b = p.bytes;
                                 Put16(b, kPhnum, 0xFFFF);
                                 Put16(b, kShnum, 0);
                                 return b;
                               },
                               "1.0.0.0"}),
    [](const auto& info) { return std::string(info.param.name); });

// Every truncation of the program: before the note ends there is nothing to
// find; from there on the note segment is whole and the version is found even
// though the section headers at the end of the file are cut off.
TEST(TruncatedProgram, VersionOnlyOnceTheNoteIsWhole) {
  const Program& p = LauncherShape();
  TempDir dir;
  const auto file = dir / "program";
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= p.noteEnd + 16; ++n) lengths.push_back(n);
  for (std::size_t n = p.noteEnd + 17; n < p.bytes.size(); n += 997) lengths.push_back(n);
  for (std::size_t n = p.bytes.size() - 200; n < p.bytes.size(); ++n) lengths.push_back(n);
  for (std::size_t n : lengths) {
    testsupport::WriteFileBytes(file, p.bytes.substr(0, n));
    EXPECT_EQ(GetFileVersion(file), n < p.noteEnd ? "" : "1.0.0.0") << "length " << n;
  }
}

// Random damage to headers, note and section table: any answer is allowed
// except reading outside the file (the sanitizer's business) or hanging.
TEST(CorruptedProgram, RandomByteDamageIsSurvived) {
  const Program& p = LauncherShape();
  TempDir dir;
  const auto file = dir / "program";
  std::mt19937 random(20261209);
  const std::size_t tableStart = p.bytes.size() > 4096 ? p.bytes.size() - 4096 : 0;
  for (int round = 0; round < 600; ++round) {
    auto bytes = p.bytes;
    const int flips = 1 + static_cast<int>(random() % 6);
    for (int f = 0; f < flips; ++f) {
      // Damage where the reader looks: the headers, the note, the section table.
      const std::size_t where = random() % 3 == 0
                                    ? tableStart + random() % (p.bytes.size() - tableStart)
                                    : random() % p.noteEnd;
      bytes[where] = static_cast<char>(random());
    }
    testsupport::WriteFileBytes(file, bytes);
    const auto version = GetFileVersion(file);
    EXPECT_LE(version.size(), 64u * 1024) << "round " << round;
  }
}

TEST(NotAProgram, FoldersDevicesAndPipesGiveNoVersion) {
  TempDir dir;
  EXPECT_EQ(GetFileVersion(dir.path()), "");
  EXPECT_EQ(GetFileVersion("/dev/null"), "");
  EXPECT_EQ(GetFileVersion("/dev/zero"), "");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(GetFileVersion(dir / "fifo"), "");  // must not wait for a writer
  EXPECT_EQ(GetFileVersion(dir / "missing"), "");
  EXPECT_EQ(GetFileVersion(""), "");
}

}  // namespace
