// RegistryUtils: defaults instead of errors, and which failures are logged.

#include "support/uWorkWithRegistry.h"

#include <filesystem>
#include <functional>

#include "RegistryFixture.h"

namespace {

using platform::TRegistry;
using regtest::kProductKey;
using Strings = std::vector<std::string>;

// What the product key holds before a read. Legend: "missing key" (nothing),
// "empty key" (the key without values), otherwise the key with one value.
using Setup = std::function<void(TRegistry&)>;

void Prepare(const char* aState, const Setup& aSetup) {
  if (std::string(aState) == "missing key") return;
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kProductKey, true));
  if (aSetup) aSetup(reg);
}

const std::string kInnerInstallPath =
    "[GetStrValue] can't get value: InstallPath of key: \\Software\\Velmora Free";

// GetStrValueDef / GetStrValue of "InstallPath".
struct StrRow {
  const char* name;
  const char* state;
  Setup setup;
  std::string expectedDef;  // GetStrValueDef with the default "/default"
  std::string expected;     // GetStrValue
  Strings logged;           // per call
};

void PrintTo(const StrRow& aRow, std::ostream* os) { *os << aRow.name; }

class GetStrValueRows : public regtest::RegistryFixture,
                        public ::testing::WithParamInterface<StrRow> {};

TEST_P(GetStrValueRows, ReturnsValueOrDefaultAndLogsOnlyAWrongKind) {
  const auto& row = GetParam();
  Prepare(row.state, row.setup);
  EXPECT_EQ(
      RegistryUtils::GetStrValueDef(kProductKey, "InstallPath", "/default", HKEY_CURRENT_USER),
      row.expectedDef);
  EXPECT_EQ(RegistryUtils::GetStrValue(kProductKey, "InstallPath"), row.expected);
  Strings twice = row.logged;
  twice.insert(twice.end(), row.logged.begin(), row.logged.end());
  EXPECT_EQ(ReportedTexts(), twice);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GetStrValueRows,
    ::testing::Values(StrRow{"missing_key", "missing key", nullptr, "/default", "", {}},
                      StrRow{"key_without_value", "empty key", nullptr, "/default", "", {}},
                      StrRow{"integer_value",
                             "value",
                             [](TRegistry& r) { r.WriteInteger("InstallPath", 7); },
                             "/default",
                             "",
                             {kInnerInstallPath}},
                      StrRow{"binary_value",
                             "value",
                             [](TRegistry& r) {
                               r.WriteBinaryData("InstallPath", {'/', 'x'});
                             },
                             "/default",
                             "",
                             {kInnerInstallPath}},
                      StrRow{
                          "string_value",
                          "value",
                          [](TRegistry& r) { r.WriteString("installpath", "/opt/velmora-free"); },
                          "/opt/velmora-free",
                          "/opt/velmora-free",
                          {}},
                      StrRow{"expandable_string",
                             "value",
                             [](TRegistry& r) { r.WriteExpandString("InstallPath", "/opt/x"); },
                             "/opt/x",
                             "/opt/x",
                             {}},
                      StrRow{"empty_string_is_a_value",
                             "value",
                             [](TRegistry& r) { r.WriteString("InstallPath", ""); },
                             "",
                             "",
                             {}}),
    [](const auto& info) { return std::string(info.param.name); });

// GetIntegerValue / GetIntegerValueDef / GetBoolValue of "LCID".
struct IntRow {
  const char* name;
  const char* state;
  Setup setup;
  std::int32_t integer;     // GetIntegerValue
  Strings integerLogged;    // by GetIntegerValue
  std::int32_t integerDef;  // GetIntegerValueDef with the default 99, never logs
  bool booleanDef;          // GetBoolValueDef with the default true, never logs
  bool boolean;             // GetBoolValue
  Strings boolLogged;       // by GetBoolValue
};

void PrintTo(const IntRow& aRow, std::ostream* os) { *os << aRow.name; }

class IntegerRows : public regtest::RegistryFixture,
                    public ::testing::WithParamInterface<IntRow> {};

TEST_P(IntegerRows, ReadIntegerAndBoolean) {
  const auto& row = GetParam();
  Prepare(row.state, row.setup);
  EXPECT_EQ(RegistryUtils::GetIntegerValue(kProductKey, "LCID", HKEY_CURRENT_USER), row.integer);
  EXPECT_EQ(ReportedTexts(), row.integerLogged);
  const auto before = ReportedTexts().size();
  EXPECT_EQ(RegistryUtils::GetIntegerValueDef(kProductKey, "LCID", 99), row.integerDef);
  EXPECT_EQ(RegistryUtils::GetBoolValueDef(kProductKey, "LCID", true), row.booleanDef);
  EXPECT_EQ(ReportedTexts().size(), before) << "the ...Def readers log nothing";
  EXPECT_EQ(RegistryUtils::GetBoolValue(kProductKey, "LCID"), row.boolean);
  const auto all = ReportedTexts();
  EXPECT_EQ(Strings(all.begin() + static_cast<long>(before), all.end()), row.boolLogged);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IntegerRows,
    ::testing::Values(IntRow{"missing_key", "missing key", nullptr, 0, {}, 99, true, false, {}},
                      IntRow{"absent_value",
                             "empty key",
                             nullptr,
                             0,
                             {" r.03004_int"},
                             99,
                             true,
                             false,
                             {" r.03004"}},
                      IntRow{"string_value",
                             "value",
                             [](TRegistry& r) { r.WriteString("LCID", "1025"); },
                             0,
                             {" r.03004_int"},
                             99,
                             true,
                             false,
                             {" r.03004"}},
                      IntRow{"integer_value",
                             "value",
                             [](TRegistry& r) { r.WriteInteger("lcid", 1025); },
                             1025,
                             {},
                             1025,
                             true,
                             true,
                             {}},
                      IntRow{"two_is_true",
                             "value",
                             [](TRegistry& r) { r.WriteInteger("LCID", 2); },
                             2,
                             {},
                             2,
                             true,
                             true,
                             {}},
                      IntRow{"zero_is_false",
                             "value",
                             [](TRegistry& r) { r.WriteInteger("LCID", 0); },
                             0,
                             {},
                             0,
                             false,
                             false,
                             {}}),
    [](const auto& info) { return std::string(info.param.name); });

class RegistryUtilsTest : public regtest::RegistryFixture {};

TEST_F(RegistryUtilsTest, ReadersCreateNothing) {
  RegistryUtils::GetStrValue(kProductKey, "InstallPath");
  RegistryUtils::GetIntegerValue(kProductKey, "LCID");
  RegistryUtils::GetBoolValueDef(kProductKey, "x", false);
  EXPECT_FALSE(RegistryUtils::FindKey_Classes(".iso"));
  EXPECT_FALSE(std::filesystem::exists(platform::RegistryStorePath()));
}

TEST_F(RegistryUtilsTest, WritersCreateTheKeyAndReadersSeeTheValues) {
  RegistryUtils::SetStrValue("Software\\Velmora Free\\New", "InstallPath", "/opt/v");
  RegistryUtils::SetIntegerValue("Software\\Velmora Free\\New", "LCID", 1049);
  RegistryUtils::SetBoolValue("Software\\Velmora Free\\New", "Flag", true);
  RegistryUtils::SetBoolValue("Software\\Velmora Free\\New", "Off", false);
  const std::string key = "\\software\\velmora free\\new";
  EXPECT_EQ(RegistryUtils::GetStrValueDef(key, "installpath", "-"), "/opt/v");
  EXPECT_EQ(RegistryUtils::GetIntegerValue(key, "lcid"), 1049);
  TRegistry reg(platform::raRead);
  ASSERT_TRUE(reg.OpenKey(key, false));
  EXPECT_EQ(reg.ReadInteger("Flag"), 1);
  EXPECT_EQ(reg.ReadInteger("Off"), 0);
  EXPECT_TRUE(ReportedTexts().empty());
}

// With a folder where the store file should be, opening any key raises:
// that is the "middle" failure of each operation.
TEST_F(RegistryUtilsTest, AStoreThatCannotBeOpenedGivesDefaultsAndMiddleReports) {
  std::filesystem::create_directories(platform::RegistryStorePath());
  EXPECT_EQ(RegistryUtils::GetStrValueDef(kProductKey, "InstallPath", "/d"), "/d");
  RegistryUtils::SetStrValue(kProductKey, "InstallPath", "/x");
  EXPECT_FALSE(RegistryUtils::GetBoolValue(kProductKey, "Flag"));
  RegistryUtils::SetBoolValue(kProductKey, "Flag", true);
  EXPECT_EQ(RegistryUtils::GetIntegerValue(kProductKey, "LCID"), 0);
  RegistryUtils::SetIntegerValue(kProductKey, "LCID", 1);
  EXPECT_EQ(RegistryUtils::GetIntegerValueDef(kProductKey, "LCID", 5), 5);
  EXPECT_FALSE(RegistryUtils::GetBoolValueDef(kProductKey, "Flag", false));
  EXPECT_FALSE(RegistryUtils::FindKey_Classes(".iso"));
  EXPECT_FALSE(RegistryUtils::TestValue(kProductKey, "x"));
  EXPECT_EQ(ReportedTexts(),
            (Strings{"[GetStrValue] can't open key: \\Software\\Velmora Free", " r.02005",
                     " r.03005", " r.04005", " r.03005_int", " r.04005_int",
                     "[FindKey_Classes] can't open key: .iso", " r.03005"}));
}

TEST_F(RegistryUtilsTest, FindKeyClassesLooksOnlyAtClassesRoot) {
  RegistryUtils::SetStrValue(".iso", "x", "y");  // HKEY_CURRENT_USER
  EXPECT_FALSE(RegistryUtils::FindKey_Classes(".iso"));
  RegistryUtils::SetStrValue(".iso\\shell", "", "open", HKEY_CLASSES_ROOT);
  EXPECT_TRUE(RegistryUtils::FindKey_Classes(".ISO"));
  EXPECT_TRUE(RegistryUtils::FindKey_Classes("\\.iso\\Shell"));
  EXPECT_EQ(RegistryUtils::GetStrValue(".iso\\shell", "", HKEY_CLASSES_ROOT), "open");
  EXPECT_TRUE(ReportedTexts().empty());
}

TEST_F(RegistryUtilsTest, TestValueCreatesTheKey) {
  EXPECT_FALSE(RegistryUtils::TestValue(kProductKey, "InstallPath"));
  TRegistry reg;
  EXPECT_TRUE(reg.KeyExists(kProductKey));
  RegistryUtils::SetStrValue(kProductKey, "InstallPath", "/opt");
  EXPECT_TRUE(RegistryUtils::TestValue(kProductKey, "installpath"));
  EXPECT_TRUE(ReportedTexts().empty());
}

}  // namespace
