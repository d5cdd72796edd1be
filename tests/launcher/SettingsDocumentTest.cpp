// Picking the product's entry out of the settings document, comparing version
// texts, and naming the downloaded installer.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "launcher/InstallerName.h"
#include "launcher/SettingsDocument.h"

namespace {

using launcher::ESettingsFormatError;
using launcher::TProductEntry;

struct DocumentCase {
  const char* name;
  std::string xml;
  bool formatError = false;
  std::optional<TProductEntry> expected;  // nothing: no entry matches
};
void PrintTo(const DocumentCase& row, std::ostream* out) { *out << row.name; }

class ParseSettingsTest : public ::testing::TestWithParam<DocumentCase> {};

TEST_P(ParseSettingsTest, FindsTheFirstMatchingEntry) {
  const DocumentCase& c = GetParam();
  TProductEntry entry{.Version = "untouched", .SetupURL = "untouched"};
  if (c.formatError) {
    EXPECT_THROW(launcher::ParseSettings(c.xml, entry), ESettingsFormatError);
    EXPECT_EQ(entry.Version, "untouched");
    return;
  }
  const bool found = launcher::ParseSettings(c.xml, entry);
  ASSERT_EQ(found, c.expected.has_value());
  const TProductEntry expected = c.expected.value_or(TProductEntry{"untouched", "untouched"});
  EXPECT_EQ(entry.Version, expected.Version);
  EXPECT_EQ(entry.SetupURL, expected.SetupURL);
}

const char* const kExternalEntity =
    "<?xml version=\"1.0\"?><!DOCTYPE p [<!ENTITY e SYSTEM \"file:///etc/hostname\">]>"
    "<p><x Name=\"Velmora Free\" Version=\"&e;\" SetupURL=\"u\"/></p>";
const char* const kLaughs =
    "<?xml version=\"1.0\"?><!DOCTYPE p [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">"
    "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
    "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
    "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">]>"
    "<p><x Name=\"Velmora Free\" Version=\"&g;\" SetupURL=\"u\"/></p>";

INSTANTIATE_TEST_SUITE_P(
    Documents, ParseSettingsTest,
    ::testing::Values(
        DocumentCase{
            .name = "MatchAfterAnotherProduct",
            .xml =
                "<r><p Name=\"Other\" Version=\"9\" SetupURL=\"o\"/>"
                "<p Name=\"Velmora Free\" Version=\"2.0.0.1\" SetupURL=\"https://s/a.bin\"/></r>",
            .expected = TProductEntry{"2.0.0.1", "https://s/a.bin"}},
        DocumentCase{.name = "NameComparedWithoutLetterCase",
                     .xml = "<r><q Name=\"vELMORA fREE\" Version=\"3\" SetupURL=\"u\"/></r>",
                     .expected = TProductEntry{"3", "u"}},
        DocumentCase{.name = "LeadingBlankDoesNotMatch",
                     .xml = "<r><q Name=\" Velmora Free\" Version=\"3\" SetupURL=\"u\"/></r>",
                     .expected = std::nullopt},
        DocumentCase{.name = "FirstMatchWins",
                     .xml = "<r><q Name=\"Velmora Free\" Version=\"1\" SetupURL=\"first\"/>"
                            "<q Name=\"velmora free\" Version=\"2\" SetupURL=\"second\"/></r>",
                     .expected = TProductEntry{"1", "first"}},
        DocumentCase{.name = "EntriesAfterTheMatchAreNotLookedAt",
                     .xml = "<r><q Name=\"Velmora Free\" Version=\"1\" SetupURL=\"u\"/><q/></r>",
                     .expected = TProductEntry{"1", "u"}},
        DocumentCase{.name = "EmptyAttributesAreNotMissing",
                     .xml = "<r><q Name=\"Velmora Free\" Version=\"\" SetupURL=\"\"/></r>",
                     .expected = TProductEntry{"", ""}},
        DocumentCase{.name = "CommentsTextAndNestedElementsAreSkipped",
                     .xml = "<r>text<!-- c --><?pi x?><q Name=\"A\" Version=\"1\" SetupURL=\"a\">"
                            "<List Lang=\"en\"><U>x</U></List></q>"
                            "<q Name=\"Velmora Free\" Version=\"5\" SetupURL=\"v\"/></r>",
                     .expected = TProductEntry{"5", "v"}},
        DocumentCase{.name = "DeclaredEncodingIsNotConsulted",
                     .xml = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                            "<r><q Name=\"Velmora Free\" Version=\"2\" SetupURL=\"\xC3\xA9\"/></r>",
                     .expected = TProductEntry{"2", "\xC3\xA9"}},
        DocumentCase{.name = "NoMatchingEntry",
                     .xml = "<r><q Name=\"Other\" Version=\"1\" SetupURL=\"u\"/></r>",
                     .expected = std::nullopt},
        DocumentCase{.name = "RootWithoutChildren", .xml = "<r/>", .expected = std::nullopt},
        DocumentCase{
            .name = "EntryBeforeTheMatchWithoutName",
            .xml =
                "<r><q Version=\"1\"/><q Name=\"Velmora Free\" Version=\"1\" SetupURL=\"u\"/></r>",
            .formatError = true,
            .expected = std::nullopt},
        DocumentCase{.name = "MatchWithoutVersion",
                     .xml = "<r><q Name=\"Velmora Free\" SetupURL=\"u\"/></r>",
                     .formatError = true,
                     .expected = std::nullopt},
        DocumentCase{.name = "MatchWithoutSetupURL",
                     .xml = "<r><q Name=\"Velmora Free\" Version=\"1\"/></r>",
                     .formatError = true,
                     .expected = std::nullopt},
        DocumentCase{.name = "NotWellFormed",
                     .xml = "<r><q Name=\"Velmora Free\"",
                     .formatError = true,
                     .expected = std::nullopt},
        DocumentCase{.name = "BrokenAfterTheMatch",
                     .xml = "<r><q Name=\"Velmora Free\" Version=\"1\" SetupURL=\"u\"/><bad></r>",
                     .formatError = true,
                     .expected = std::nullopt},
        DocumentCase{.name = "EmptyText", .xml = "", .formatError = true, .expected = std::nullopt},
        DocumentCase{.name = "ExternalEntityIsNeverResolved",
                     .xml = kExternalEntity,
                     .formatError = true,
                     .expected = std::nullopt},
        DocumentCase{.name = "EntityExpansionIsCapped",
                     .xml = kLaughs,
                     .formatError = true,
                     .expected = std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct VersionCase {
  const char* name;
  const char* installed;
  const char* published;
  int expected;
};
void PrintTo(const VersionCase& row, std::ostream* out) { *out << row.name; }

class CompareVersionsTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(CompareVersionsTest, GivesTheSign) {
  const VersionCase& c = GetParam();
  EXPECT_EQ(launcher::CompareVersions(c.installed, c.published), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, CompareVersionsTest,
    ::testing::Values(
        VersionCase{"LastPartNewer", "2.0.0.0", "2.0.0.1", 1},
        VersionCase{"SecondPartDecidesBeforeLaterOnes", "2.1", "2.0.9.9", -1},
        VersionCase{"MissingPartsAreZero", "2.0", "2.0.0.0", 0},
        VersionCase{"EmptyInstalledIsAlwaysOlder", "", "0.0.0.0", 1},
        VersionCase{"BlankInstalledCountsAsEmpty", " \t\r\n", "", 1},
        VersionCase{"EmptyPublishedIsOlder", "2.0.0.0", "", -1},
        VersionCase{"BlankPublishedCountsAsEmpty", "2.0.0.0", "  ", -1},
        VersionCase{"FifthPartIsNotCompared", "2.0.0.0", "2.0.0.0.7", 0},
        VersionCase{"PartWithALetterCountsAsZero", "2.0.0.1b", "2.0.0.0", 0},
        VersionCase{"NumbersNotTexts", "2.0.0.9", "2.0.0.10", 1},
        VersionCase{"FirstPartOlder", "3.0.0.0", "2.9.9.9", -1},
        VersionCase{"OverflowingPublishedPartIsNoOffer", "2.0.0.0", "99999999999999999999.1", -1},
        VersionCase{"OverflowingInstalledPartIsNoOffer", "1.99999999999999999999999", "9.0", -1},
        VersionCase{"LargestPartStillCounts", "2.0", "18446744073709551615.0", 1},
        VersionCase{"BlankBeforeThePublishedVersionIsIgnored", "2.0", " 3.0", 1},
        VersionCase{"BlankAfterThePublishedVersionIsIgnored", "2.0", "3.0 ", 1},
        VersionCase{"BlanksAroundTheInstalledVersionAreIgnored", "\t3.0\r\n", "3.0", 0},
        VersionCase{"BlankInsideAPartStillCountsAsZero", "2.0", "3 .0", -1}),
    [](const auto& info) { return std::string(info.param.name); });

struct NameCase {
  const char* name;
  std::string url;
  std::string expected;
};
void PrintTo(const NameCase& row, std::ostream* out) { *out << row.name; }

class InstallerNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(InstallerNameTest, IsTheLastPathSegmentOrTheFallback) {
  EXPECT_EQ(launcher::GetFileNameFromURL(GetParam().url), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, InstallerNameTest,
    ::testing::Values(
        NameCase{"LastSegment", "https://s.example/download/setup.exe", "setup.exe"},
        NameCase{"QueryAndFragmentAreNotPartOfTheName", "https://s.example/d/setup.bin?v=2#x",
                 "setup.bin"},
        NameCase{"NotDecoded", "https://s.example/d/my%20setup", "my%20setup"},
        NameCase{"EncodedSlashStaysInTheName", "https://s.example/d/..%2F..%2Fbashrc",
                 "..%2F..%2Fbashrc"},
        NameCase{"EndsInASlash", "https://s.example/download/", launcher::kFallbackInstallerName},
        NameCase{"NoPath", "https://s.example", launcher::kFallbackInstallerName},
        NameCase{"DotDot", "https://s.example/d/..", launcher::kFallbackInstallerName},
        NameCase{"Dot", "https://s.example/d/.", launcher::kFallbackInstallerName},
        NameCase{"Backslash", "https://s.example/d/a\\b", launcher::kFallbackInstallerName},
        NameCase{"ErrorLog", "https://s.example/d/Err.log", launcher::kFallbackInstallerName},
        NameCase{"SettingsArchiveInOtherCase", "https://s.example/d/SETTINGS.bin",
                 launcher::kFallbackInstallerName},
        NameCase{"NotAUrl", "", launcher::kFallbackInstallerName},
        NameCase{"HundredCharactersAreKept", "https://s.example/d/" + std::string(100, 'n'),
                 std::string(100, 'n')},
        NameCase{"LongerIsTheFallback", "https://s.example/d/" + std::string(101, 'n'),
                 launcher::kFallbackInstallerName},
        NameCase{"TenThousandCharacters", "https://s.example/d/" + std::string(10000, 'n'),
                 launcher::kFallbackInstallerName}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
