// Reading the settings document out of settings archives made by Info-ZIP and
// libzip, and refusing damaged, hostile and wrongly encrypted ones.

#include <zip.h>

#include <gtest/gtest.h>

#include <string>

#include "ArchiveMaker.h"
#include "launcher/SettingsArchive.h"

namespace {

using launcher::ExtractSettingsDocument;
using launcher::kSettingsPassword;
using launchertest::LibzipArchive;
using launchertest::ZipWithPassword;

const std::string kDocument = launchertest::SettingsXml("2.0.0.1", "https://x.example/setup.bin");

std::string Extract(const std::string& archive) {
  return ExtractSettingsDocument(archive).value_or("<nothing>");
}

TEST(SettingsArchive, ReadsTheDocumentOfEveryMaker) {
  const std::vector<launchertest::TEntry> entries = {{"readme.txt", "other entries are ignored"},
                                                     {"settings.xml", kDocument}};
  EXPECT_EQ(Extract(ZipWithPassword(entries, kSettingsPassword)), kDocument) << "zip -P, deflated";
  EXPECT_EQ(Extract(ZipWithPassword(entries, kSettingsPassword, true)), kDocument) << "zip -P -0";
  EXPECT_EQ(Extract(LibzipArchive(entries, kSettingsPassword)), kDocument) << "libzip, AES";
}

TEST(SettingsArchive, MissingEntryGivesNothing) {
  EXPECT_FALSE(
      ExtractSettingsDocument(ZipWithPassword({{"settings.txt", kDocument}}, kSettingsPassword)));
}

// The traditional cipher checks a password against one byte, so about one
// wrong password in 256 opens the entry; only reading it to the end (where
// the data or its checksum fails) tells it apart. Among 1500 wrong passwords
// some pass the open, and none may give a document.
TEST(SettingsArchive, WrongPasswordsAreRefusedEvenWhenTheOpenPasses) {
  const std::string archive = ZipWithPassword({{"settings.xml", kDocument}}, kSettingsPassword);
  int passedOpen = 0;
  for (int i = 0; i < 1500; ++i) {
    const std::string password = "wrong" + std::to_string(i);
    SCOPED_TRACE(password);
    EXPECT_FALSE(ExtractSettingsDocument(archive, "settings.xml", password.c_str()));

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
    zip_t* zip = zip_open_from_source(source, ZIP_RDONLY, &error);
    ASSERT_NE(zip, nullptr);
    if (zip_file_t* file = zip_fopen_encrypted(zip, "settings.xml", 0, password.c_str())) {
      ++passedOpen;
      zip_fclose(file);
    }
    zip_discard(zip);
    zip_error_fini(&error);
  }
  EXPECT_GT(passedOpen, 0) << "no wrong password got past the open: the test proves nothing";
}

struct DamageCase {
  const char* name;
  std::string (*damage)(std::string archive);
};
void PrintTo(const DamageCase& row, std::ostream* out) { *out << row.name; }

class DamagedArchive : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedArchive, GivesNothing) {
  const std::string archive =
      GetParam().damage(ZipWithPassword({{"settings.xml", kDocument}}, kSettingsPassword));
  EXPECT_FALSE(ExtractSettingsDocument(archive));
}

// The first entry's data starts after its 30-byte local header, name and extra field.
std::size_t DataStart(const std::string& a) {
  auto u16 = [&](std::size_t at) {
    return static_cast<std::size_t>(static_cast<unsigned char>(a[at]) |
                                    static_cast<unsigned char>(a[at + 1]) << 8);
  };
  return 30 + u16(26) + u16(28);
}

INSTANTIATE_TEST_SUITE_P(
    Damage, DamagedArchive,
    ::testing::Values(
        DamageCase{"Empty", [](std::string) { return std::string(); }},
        DamageCase{"NotAZip", [](std::string) { return std::string(4096, 'x'); }},
        DamageCase{"CutInHalf", [](std::string a) { return a.substr(0, a.size() / 2); }},
        DamageCase{"CentralDirectoryCut", [](std::string a) { return a.substr(0, a.size() - 30); }},
        DamageCase{"FlippedDataByte",
                   [](std::string a) {
                     const std::size_t at = DataStart(a) + 20;
                     a[at] = static_cast<char>(a[at] ^ 0x5A);
                     return a;
                   }},
        DamageCase{"FlippedLastDataByte",
                   [](std::string a) {
                     // zip -P ends the data with a 16-byte descriptor (the
                     // cipher needs the checksum before the sizes are known).
                     std::size_t end = a.find("PK\x01\x02");
                     if (a.compare(end - 16, 4, "PK\x07\x08") == 0) end -= 16;
                     a[end - 1] = static_cast<char>(a[end - 1] ^ 0x01);
                     return a;
                   }},
        DamageCase{
            "LargerThanTheCap",
            [](std::string a) { return a + std::string(launcher::kMaxSettingsBytes, '\0'); }}),
    [](const auto& info) { return std::string(info.param.name); });

// A few kilobytes that inflate to more than the cap: refused, not extracted.
TEST(SettingsArchive, EntryThatInflatesBeyondTheCapIsRefused) {
  const std::string bomb(launcher::kMaxSettingsBytes + 1, ' ');
  const std::string archive = ZipWithPassword({{"settings.xml", bomb}}, kSettingsPassword);
  ASSERT_LT(archive.size(), 64u * 1024u);
  EXPECT_FALSE(ExtractSettingsDocument(archive));
}

// The size recorded in the headers may lie; the cap holds on what is read.
TEST(SettingsArchive, EntryWhoseHeadersUnderstateItsSizeIsRefused) {
  const std::string big(launcher::kMaxSettingsBytes + 100, 'a');
  std::string archive = ZipWithPassword({{"settings.xml", big}}, kSettingsPassword);
  // Uncompressed size at offset 22 of the local header and 24 of the central one.
  const std::size_t central = archive.find("PK\x01\x02");
  for (const std::size_t at : {std::size_t{22}, central + 24}) {
    archive[at] = 100;
    archive[at + 1] = archive[at + 2] = archive[at + 3] = 0;
  }
  EXPECT_FALSE(ExtractSettingsDocument(archive));
}

}  // namespace
