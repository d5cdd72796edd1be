// HexToInt: hexadecimal text to a 32-bit integer, -1 and one report for a bad character.

#include "RegistryFixture.h"
#include "support/uFunctions.h"

namespace {

struct HexToIntRow {
  const char* name;
  std::string text;
  std::int32_t value;
  std::vector<std::string> logged;
};

void PrintTo(const HexToIntRow& aRow, std::ostream* os) { *os << aRow.name; }

class HexToIntRows : public regtest::RegistryFixture,
                     public ::testing::WithParamInterface<HexToIntRow> {};

TEST_P(HexToIntRows, ConvertsOrReports) {
  EXPECT_EQ(HexToInt(GetParam().text), GetParam().value);
  EXPECT_EQ(ReportedTexts(), GetParam().logged);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, HexToIntRows,
    ::testing::Values(
        HexToIntRow{"largest_positive", "7fffffff", 2147483647, {}},
        HexToIntRow{"empty_is_zero", "", 0, {}}, HexToIntRow{"mixed_case", "aBcD", 0xABCD, {}},
        HexToIntRow{"all_bits_is_minus_one", "FFFFFFFF", -1, {}},
        HexToIntRow{"sign_bit", "80000000", -2147483647 - 1, {}},
        HexToIntRow{"ninth_digit_pushes_out_the_first", "123456789", 0x23456789, {}},
        HexToIntRow{"wraps_to_zero", "100000000", 0, {}},
        HexToIntRow{"bad_char", "1G", -1, {"[HexToInt] incorrect char G"}},
        HexToIntRow{"bad_char_named_upper", "1g", -1, {"[HexToInt] incorrect char G"}},
        HexToIntRow{"first_bad_char_only", "x-y", -1, {"[HexToInt] incorrect char X"}},
        HexToIntRow{"blank", "1 2", -1, {"[HexToInt] incorrect char  "}},
        HexToIntRow{"minus", "-1", -1, {"[HexToInt] incorrect char -"}},
        HexToIntRow{"non_ascii_named_whole", "1é", -1, {"[HexToInt] incorrect char é"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
