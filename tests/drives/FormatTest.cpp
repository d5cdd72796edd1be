// Byte counts for display: decimal steps of 1000, two decimals from 1000 on,
// the locale's decimal separator.

#include <gtest/gtest.h>

#include "TempDir.h"
#include "engine/uDiskUtils.h"
#include "platform/LocaleNumber.h"

namespace {

struct SizeCase {
  const char* name;
  std::int64_t size;
  const char* text;
};

std::ostream& operator<<(std::ostream& out, const SizeCase& c) { return out << c.name; }

class FormatSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(FormatSizeTest, WithPoint) { EXPECT_EQ(FormatSize(GetParam().size, "."), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(Sizes, FormatSizeTest,
                         ::testing::Values(SizeCase{"Zero", 0, "0 Bytes"},
                                           SizeCase{"LargestPlain", 999, "999 Bytes"},
                                           SizeCase{"ThousandStaysBytes", 1000, "1000.00 Bytes"},
                                           SizeCase{"JustAboveThousand", 1001, "1.00 KB"},
                                           SizeCase{"OneAndAHalfMegabytes", 1500000, "1.50 MB"},
                                           SizeCase{"MillionStaysKilobytes", 1000000, "1000.00 KB"},
                                           SizeCase{"Dvd", 4700000000, "4.70 GB"},
                                           SizeCase{"RoundsUpToThousand", 999999, "1000.00 KB"},
                                           SizeCase{"Terabytes", 2500000000000, "2.50 TB"},
                                           SizeCase{"AboveThousandTerabytesStaysTerabytes",
                                                    5000000000000000, "5000.00 TB"},
                                           SizeCase{"Negative", -5, "-5 Bytes"},
                                           SizeCase{"NegativeLarge", -5000000, "-5000000 Bytes"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FormatSize, UsesTheGivenDecimalSeparator) {
  EXPECT_EQ(FormatSize(1500000, ","), "1,50 MB");
  EXPECT_EQ(FormatSize(4700000000, "\u066b"), "4\u066b70 GB");  // Arabic decimal separator
  EXPECT_EQ(FormatSize(999, ","), "999 Bytes");
}

// The user's locale (LC_ALL here) gives the separator. test.sh generates
// de_DE.UTF-8 and ar_SA.UTF-8.
struct LocaleRow {
  const char* name;
  std::string locale;
  std::string separator;
  std::string dvd;  // FormatSize(4700000000)
};

void PrintTo(const LocaleRow& row, std::ostream* os) { *os << row.name; }

class UsersLocale : public ::testing::TestWithParam<LocaleRow> {};

TEST_P(UsersLocale, GivesTheSeparator) {
  const auto& row = GetParam();
  EXPECT_EQ(platform::DecimalSeparator(row.locale), row.separator);
  testsupport::ScopedEnv all("LC_ALL", row.locale);
  EXPECT_EQ(platform::DecimalSeparator(), row.separator);
  EXPECT_EQ(FormatSize(4700000000), row.dvd);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, UsersLocale,
    ::testing::Values(LocaleRow{"c", "C.UTF-8", ".", "4.70 GB"},
                      LocaleRow{"german_comma", "de_DE.UTF-8", ",", "4,70 GB"},
                      LocaleRow{"arabic_saudi_point", "ar_SA.UTF-8", ".", "4.70 GB"},
                      LocaleRow{"not_installed_point", "xx_NOWHERE.UTF-8", ".", "4.70 GB"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
