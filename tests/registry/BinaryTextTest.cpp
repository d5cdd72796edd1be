// RegistryUtils on a caller's accessor: hexadecimal and UTF-16 texts in
// binary values, and value names found by a mask.

#include "support/uWorkWithRegistry.h"

#include "RegistryFixture.h"

namespace {

using platform::ERegistryException;
using platform::TRegistry;
using regtest::kProductKey;
using Bytes = std::vector<std::uint8_t>;

class BinaryText : public regtest::RegistryFixture {
 protected:
  TRegistry FReg;
  void SetUp() override { Open(FReg, kProductKey); }
};

struct HexRow {
  const char* name;
  std::string text;
  Bytes bytes;
  std::string readBack;
  std::size_t logLines;  // an invalid pair is reported by HexToInt
};

void PrintTo(const HexRow& aRow, std::ostream* os) { *os << aRow.name; }

class WriteBinStrRows : public BinaryText, public ::testing::WithParamInterface<HexRow> {};

TEST_P(WriteBinStrRows, DecodesPairsOfDigits) {
  const auto& row = GetParam();
  RegistryUtils::WriteBinStr(FReg, "Data", row.text);
  EXPECT_EQ(FReg.GetDataType("Data"), platform::rdBinary);
  EXPECT_EQ(FReg.ReadBinaryData("Data"), row.bytes);
  EXPECT_EQ(RegistryUtils::ReadBinStr(FReg, "data"), row.readBack);
  EXPECT_EQ(ReportedTexts().size(), row.logLines);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WriteBinStrRows,
    ::testing::Values(
        HexRow{"odd_last_digit_ignored", "0aFF1", {0x0A, 0xFF}, "0AFF", 0},
        HexRow{"empty", "", {}, "", 0}, HexRow{"one_digit", "7", {}, "", 0},
        HexRow{"invalid_pair_is_FF", "01zz02", {0x01, 0xFF, 0x02}, "01FF02", 1},
        HexRow{"all_values", "00107F80fe", {0x00, 0x10, 0x7F, 0x80, 0xFE}, "00107F80FE", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BinaryText, AppendBinStrAddsToAnExistingValue) {
  RegistryUtils::WriteBinStr(FReg, "Data", "0102");
  RegistryUtils::AppendBinStr(FReg, "DATA", "a0b");
  EXPECT_EQ(RegistryUtils::ReadBinStr(FReg, "Data"), "0102A0");
  EXPECT_EQ(FReg.GetValueNames(), std::vector<std::string>{"Data"});
}

TEST_F(BinaryText, ErrorsPassToTheCaller) {
  EXPECT_THROW(RegistryUtils::AppendBinStr(FReg, "Absent", "01"), ERegistryException);
  EXPECT_THROW(RegistryUtils::ReadBinStr(FReg, "Absent"), ERegistryException);
  FReg.WriteString("Text", "x");
  EXPECT_THROW(RegistryUtils::ReadBinStr(FReg, "Text"), ERegistryException);
  EXPECT_TRUE(ReportedTexts().empty());
}

TEST_F(BinaryText, WideTextGoesInAsUtf16WithATerminator) {
  RegistryUtils::WriteWideStr(FReg, "Wide", "Aé€😀");
  EXPECT_EQ(FReg.GetDataType("Wide"), platform::rdBinary);
  EXPECT_EQ(FReg.ReadBinaryData("Wide"),
            (Bytes{'A', 0, 0xE9, 0, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE, 0, 0}));
  EXPECT_EQ(RegistryUtils::ReadWideStr(FReg, "wide"), "Aé€😀");
}

TEST_F(BinaryText, WideTextKeepsTheKindOfTheValue) {
  FReg.WriteString("Sz", "old");
  FReg.WriteExpandString("Expand", "old");
  FReg.WriteBinaryData("Bin", {1, 2, 3});
  FReg.WriteInteger("Dword", 7);
  for (const char* name : {"Sz", "Expand", "Bin", "Dword"})
    RegistryUtils::WriteWideStr(FReg, name, "new");
  EXPECT_EQ(FReg.GetDataType("Sz"), platform::rdString);
  EXPECT_EQ(FReg.ReadString("Sz"), "new");
  EXPECT_EQ(FReg.GetDataType("Expand"), platform::rdExpandString);
  EXPECT_EQ(FReg.ReadString("Expand"), "new");
  EXPECT_EQ(FReg.ReadBinaryData("Bin"), (Bytes{'n', 0, 'e', 0, 'w', 0, 0, 0}));
  EXPECT_EQ(FReg.ReadInteger("Dword"), 7);  // another kind is left alone
}

TEST_F(BinaryText, LongWideTextsAreStoredWhole) {
  const std::string text(5000, 'x');
  RegistryUtils::WriteWideStr(FReg, "Long", text);
  EXPECT_EQ(FReg.ReadBinaryData("Long").size(), 2 * text.size() + 2);
  EXPECT_EQ(RegistryUtils::ReadWideStr(FReg, "Long"), text);
}

TEST_F(BinaryText, ReadWideStrByKind) {
  FReg.WriteBinaryData("Padded", {'o', 0, 'k', 0, ' ', 0, '\t', 0, 0, 0, 0, 0});
  FReg.WriteBinaryData("OddByte", {'o', 0, 'k', 0, 'x'});
  FReg.WriteString("Sz", "text ");
  FReg.WriteInteger("Dword", 65);
  FReg.WriteRawData("Multi", platform::REG_MULTI_SZ, {'a', 0, 0, 0});
  EXPECT_EQ(RegistryUtils::ReadWideStr(FReg, "Padded"), "ok");
  EXPECT_EQ(RegistryUtils::ReadWideStr(FReg, "OddByte"), "ok");
  EXPECT_EQ(RegistryUtils::ReadWideStr(FReg, "Sz"), "text ");
  EXPECT_EQ(RegistryUtils::ReadWideStr(FReg, "Dword"), "");
  EXPECT_EQ(RegistryUtils::ReadWideStr(FReg, "Multi"), "");
  EXPECT_EQ(RegistryUtils::ReadWideStr(FReg, "Absent"), "");
}

// Value names in creation order; the mask compares characters 5 to 8.
struct MaskRow {
  const char* name;
  std::vector<std::string> names;
  std::string mask;
  std::string found;
};

void PrintTo(const MaskRow& aRow, std::ostream* os) { *os << aRow.name; }

class MaskRows : public BinaryText, public ::testing::WithParamInterface<MaskRow> {};

TEST_P(MaskRows, FindsTheFirstMatchingName) {
  for (const auto& name : GetParam().names) FReg.WriteString(name, "v");
  EXPECT_EQ(RegistryUtils::GetKeyNameByMask(FReg, GetParam().mask), GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, MaskRows,
    ::testing::Values(
        MaskRow{"exact_case_only", {"1234ABCD", "1234abcdXYZ"}, "abcd", "1234abcdXYZ"},
        MaskRow{"other_case_is_no_match", {"1234ABCD"}, "abcd", ""},
        MaskRow{"first_in_creation_order", {"zzzzabcd2", "aaaaabcd1"}, "abcd", "zzzzabcd2"},
        MaskRow{"other_position_is_no_match", {"abcd1234", "123abcd"}, "abcd", ""},
        MaskRow{"characters_not_bytes", {"éééé€€€€x"}, "€€€€", "éééé€€€€x"},
        MaskRow{"empty_key", {}, "abcd", ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
