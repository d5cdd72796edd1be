#include <algorithm>
#include <cctype>
#include <string_view>

#include "platform/UILanguage.h"

namespace platform {

namespace {

struct TLanguage {
  std::string_view code;  // ISO 639-1
  std::uint16_t primary;  // LANG_* of Windows
};

struct TSublanguage {
  std::string_view code;  // language_COUNTRY
  std::uint16_t id;       // the full language id
};

constexpr TLanguage kLanguages[] = {
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06},
    {"de", 0x07}, {"el", 0x08}, {"en", 0x09}, {"es", 0x0A}, {"fi", 0x0B}, {"fr", 0x0C},
    {"he", 0x0D}, {"hu", 0x0E}, {"is", 0x0F}, {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12},
    {"nl", 0x13}, {"nb", 0x14}, {"no", 0x14}, {"pl", 0x15}, {"pt", 0x16}, {"ro", 0x18},
    {"ru", 0x19}, {"hr", 0x1A}, {"sk", 0x1B}, {"sv", 0x1D}, {"th", 0x1E}, {"tr", 0x1F},
    {"ur", 0x20}, {"id", 0x21}, {"uk", 0x22}, {"be", 0x23}, {"sl", 0x24}, {"et", 0x25},
    {"lv", 0x26}, {"lt", 0x27}, {"fa", 0x29}, {"vi", 0x2A}, {"hi", 0x39}, {"ms", 0x3E},
};

// Countries whose sublanguage is not the language's default (sublanguage 1).
constexpr TSublanguage kSublanguages[] = {
    {"ar_SA", 0x0401}, {"ar_IQ", 0x0801}, {"ar_EG", 0x0C01}, {"ar_LY", 0x1001}, {"ar_DZ", 0x1401},
    {"ar_MA", 0x1801}, {"ar_TN", 0x1C01}, {"ar_OM", 0x2001}, {"ar_YE", 0x2401}, {"ar_SY", 0x2801},
    {"ar_JO", 0x2C01}, {"ar_LB", 0x3001}, {"ar_KW", 0x3401}, {"ar_AE", 0x3801}, {"ar_BH", 0x3C01},
    {"ar_QA", 0x4001}, {"zh_TW", 0x0404}, {"zh_CN", 0x0804}, {"zh_HK", 0x0C04}, {"zh_SG", 0x1004},
    {"de_DE", 0x0407}, {"de_CH", 0x0807}, {"de_AT", 0x0C07}, {"de_LU", 0x1007}, {"en_US", 0x0409},
    {"en_GB", 0x0809}, {"en_AU", 0x0C09}, {"en_CA", 0x1009}, {"en_NZ", 0x1409}, {"en_IE", 0x1809},
    {"en_ZA", 0x1C09}, {"en_IN", 0x4009}, {"es_MX", 0x080A}, {"es_ES", 0x0C0A}, {"es_AR", 0x2C0A},
    {"es_CO", 0x240A}, {"fr_FR", 0x040C}, {"fr_BE", 0x080C}, {"fr_CA", 0x0C0C}, {"fr_CH", 0x100C},
    {"it_IT", 0x0410}, {"it_CH", 0x0810}, {"nl_NL", 0x0413}, {"nl_BE", 0x0813}, {"pt_BR", 0x0416},
    {"pt_PT", 0x0816}, {"sv_SE", 0x041D}, {"sv_FI", 0x081D},
};

}  // namespace

std::uint16_t LanguageIdOfLocaleName(const std::string& aName) {
  // language[_COUNTRY][.codeset][@modifier]; BCP 47's "-" is taken as "_".
  std::string name = aName.substr(0, aName.find_first_of(".@"));
  std::replace(name.begin(), name.end(), '-', '_');
  const std::size_t bar = name.find('_');
  std::string language = name.substr(0, bar);
  std::transform(language.begin(), language.end(), language.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const auto known = std::find_if(std::begin(kLanguages), std::end(kLanguages),
                                  [&](const TLanguage& l) { return l.code == language; });
  if (known == std::end(kLanguages)) return 0;
  if (bar == std::string::npos) return static_cast<std::uint16_t>(known->primary | 0x0400);
  std::string country = name.substr(bar + 1);
  std::transform(country.begin(), country.end(), country.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  const std::string full = language + "_" + country;
  const auto sub = std::find_if(std::begin(kSublanguages), std::end(kSublanguages),
                                [&](const TSublanguage& s) { return s.code == full; });
  if (sub != std::end(kSublanguages)) return sub->id;
  // A country listed for none of the language's sublanguages: the home
  // country of a language with one sublanguage, or a region we do not know.
  const bool hasListed = std::any_of(
      std::begin(kSublanguages), std::end(kSublanguages),
      [&](const TSublanguage& s) { return s.code.substr(0, s.code.find('_')) == language; });
  return static_cast<std::uint16_t>(hasListed ? known->primary : known->primary | 0x0400);
}

}  // namespace platform
