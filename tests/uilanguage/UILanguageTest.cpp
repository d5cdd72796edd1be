// The interface language: locale names as language ids, the environment's
// precedence, and the "LCID" override that mirrors localised windows.

#include <gtest/gtest.h>

#include <optional>
#include <variant>

#include "RegistryFixture.h"
#include "StoredLcid.h"
#include "TempDir.h"
#include "platform/UILanguage.h"
#include "support/uUILanguage.h"

namespace {

using testsupport::ScopedEnv;

struct LocaleCase {
  const char* name;
  const char* locale;
  std::uint16_t id;
};

void PrintTo(const LocaleCase& row, std::ostream* out) { *out << row.name; }

class LocaleNameTest : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleNameTest, GivesTheWindowsLanguageId) {
  EXPECT_EQ(platform::LanguageIdOfLocaleName(GetParam().locale), GetParam().id);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, LocaleNameTest,
    ::testing::Values(
        LocaleCase{"ArabicSaudiArabia", "ar_SA.UTF-8", 0x0401},
        LocaleCase{"ArabicIraq", "ar_IQ.UTF-8", 0x0801}, LocaleCase{"ArabicEgypt", "ar_EG", 0x0C01},
        LocaleCase{"ArabicWithoutCountryIsTheDefault", "ar", 0x0401},
        LocaleCase{"ArabicOfAnUnlistedCountryIsNeutral", "ar_TD.UTF-8", 0x0001},
        LocaleCase{"EnglishUS", "en_US.UTF-8", 0x0409}, LocaleCase{"EnglishUK", "en_GB", 0x0809},
        LocaleCase{"GermanAustriaWithModifier", "de_AT@euro", 0x0C07},
        LocaleCase{"BcpDashAndCase", "PT-br", 0x0416},
        LocaleCase{"HebrewHasOneSublanguage", "he_IL.UTF-8", 0x040D},
        LocaleCase{"RussianOfUkraine", "ru_UA", 0x0419}, LocaleCase{"CLocale", "C", 0},
        LocaleCase{"CUtf8", "C.UTF-8", 0}, LocaleCase{"Posix", "POSIX", 0},
        LocaleCase{"UnknownLanguage", "xx_YY", 0}, LocaleCase{"Empty", "", 0}),
    [](const auto& row) { return std::string(row.param.name); });

struct EnvCase {
  const char* name;
  const char* lcAll;
  const char* lcMessages;
  const char* lang;
  const char* language;
  std::uint16_t id;
};

void PrintTo(const EnvCase& row, std::ostream* out) { *out << row.name; }

class EnvironmentTest : public ::testing::TestWithParam<EnvCase> {};

TEST_P(EnvironmentTest, MessagesLocaleDecides) {
  const EnvCase& c = GetParam();
  ScopedEnv all("LC_ALL", c.lcAll), messages("LC_MESSAGES", c.lcMessages), lang("LANG", c.lang),
      language("LANGUAGE", c.language);
  EXPECT_EQ(platform::ThreadUILanguage(), c.id);
  EXPECT_EQ(GetUILanguage(), c.id);
}

INSTANTIATE_TEST_SUITE_P(Variables, EnvironmentTest,
                         ::testing::Values(EnvCase{.name = "LangAlone",
                                                   .lcAll = "",
                                                   .lcMessages = "",
                                                   .lang = "ar_SA.UTF-8",
                                                   .language = "",
                                                   .id = 1025},
                                           EnvCase{.name = "LcMessagesBeforeLang",
                                                   .lcAll = "",
                                                   .lcMessages = "de_DE.UTF-8",
                                                   .lang = "ar_SA.UTF-8",
                                                   .language = "",
                                                   .id = 0x0407},
                                           EnvCase{.name = "LcAllBeforeAll",
                                                   .lcAll = "fr_CA.UTF-8",
                                                   .lcMessages = "de_DE.UTF-8",
                                                   .lang = "ar_SA.UTF-8",
                                                   .language = "",
                                                   .id = 0x0C0C},
                                           EnvCase{.name = "LanguageListChoosesFirst",
                                                   .lcAll = "",
                                                   .lcMessages = "",
                                                   .lang = "en_US.UTF-8",
                                                   .language = "ar_SA:en",
                                                   .id = 1025},
                                           EnvCase{.name = "LanguageListIgnoredInTheCLocale",
                                                   .lcAll = "C",
                                                   .lcMessages = "",
                                                   .lang = "",
                                                   .language = "ar_SA",
                                                   .id = 0},
                                           EnvCase{.name = "NothingSet",
                                                   .lcAll = "",
                                                   .lcMessages = "",
                                                   .lang = "",
                                                   .language = "",
                                                   .id = 0}),
                         [](const auto& row) { return std::string(row.param.name); });

using regtest::StoredLcid;

struct LayoutCase {
  const char* name;
  bool keyExists;
  StoredLcid lcid;
  const char* lang;
  bool mirrored;
  std::vector<std::string> logged;  // texts of the silent reports
};

void PrintTo(const LayoutCase& row, std::ostream* out) { *out << row.name; }

class LayoutTest : public regtest::RegistryFixture,
                   public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(LayoutTest, OnlyLanguage1025Mirrors) {
  const LayoutCase& c = GetParam();
  ScopedEnv all("LC_ALL", ""), messages("LC_MESSAGES", ""), lang("LANG", c.lang),
      language("LANGUAGE", "");
  if (c.keyExists) {
    regtest::StoreLcid(c.lcid);
  }
  EXPECT_EQ(FormIsRightToLeft(), c.mirrored);
  EXPECT_EQ(ReportedTexts(), c.logged);
}

INSTANTIATE_TEST_SUITE_P(
    Overrides, LayoutTest,
    ::testing::Values(LayoutCase{.name = "Lcid1025WithEnglishInterface",
                                 .keyExists = true,
                                 .lcid = 1025,
                                 .lang = "en_US.UTF-8",
                                 .mirrored = true,
                                 .logged = {}},
                      LayoutCase{.name = "LcidAbsentAndArabicInterface",
                                 .keyExists = true,
                                 .lcid = {},
                                 .lang = "ar_SA.UTF-8",
                                 .mirrored = true,
                                 .logged = {" r.03004_int"}},
                      LayoutCase{.name = "LcidAbsentAndEnglishInterface",
                                 .keyExists = true,
                                 .lcid = {},
                                 .lang = "en_US.UTF-8",
                                 .mirrored = false,
                                 .logged = {" r.03004_int"}},
                      LayoutCase{.name = "Lcid0801IsAnotherArabicAndDoesNotMirror",
                                 .keyExists = true,
                                 .lcid = 0x0801,
                                 .lang = "ar_SA.UTF-8",
                                 .mirrored = false,
                                 .logged = {}},
                      LayoutCase{.name = "LcidZeroMeansNoOverride",
                                 .keyExists = true,
                                 .lcid = 0,
                                 .lang = "ar_SA.UTF-8",
                                 .mirrored = true,
                                 .logged = {}},
                      LayoutCase{.name = "LcidAsStringIsLoggedAndTheLocaleDecides",
                                 .keyExists = true,
                                 .lcid = std::string("1025"),
                                 .lang = "en_US.UTF-8",
                                 .mirrored = false,
                                 .logged = {" r.03004_int"}},
                      LayoutCase{.name = "LcidAsStringWithArabicInterface",
                                 .keyExists = true,
                                 .lcid = std::string("0"),
                                 .lang = "ar_SA.UTF-8",
                                 .mirrored = true,
                                 .logged = {" r.03004_int"}},
                      LayoutCase{.name = "NoProductKeyIsNoOverrideAndNoReport",
                                 .keyExists = false,
                                 .lcid = {},
                                 .lang = "ar_SA.UTF-8",
                                 .mirrored = true,
                                 .logged = {}}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
