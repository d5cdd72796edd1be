// The per-user store behind TRegistry: registry rules on an SQLite file.

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "RegistryFixture.h"

namespace {

using platform::ERegistryException;
using platform::HKEY_CLASSES_ROOT;
using platform::HKEY_CURRENT_USER;
using platform::TRegistry;
using regtest::kProductKey;

class RegistryStore : public regtest::RegistryFixture {};

TEST_F(RegistryStore, ReadingAMissingStoreFindsNothingAndCreatesNoFile) {
  TRegistry reg(platform::raFull);
  EXPECT_FALSE(reg.OpenKey(kProductKey, false));
  EXPECT_FALSE(reg.KeyExists("Software"));
  EXPECT_FALSE(reg.ValueExists("InstallPath"));  // values of the root
  EXPECT_TRUE(reg.GetValueNames().empty());
  EXPECT_FALSE(std::filesystem::exists(platform::RegistryStorePath().parent_path()));
}

TEST_F(RegistryStore, LivesInTheConfigFolder) {
  EXPECT_EQ(platform::RegistryStorePath(),
            FHome.home() / ".config" / "Velmora Free" / "registry.sqlite3");
  TRegistry reg;
  reg.CreateKey("Software");
  EXPECT_TRUE(std::filesystem::exists(platform::RegistryStorePath()));
}

TEST_F(RegistryStore, UsesWriteAheadLogging) {
  TRegistry reg;
  ASSERT_TRUE(reg.CreateKey("Software"));
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(platform::RegistryStorePath().c_str(), &db), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &st, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "wal");
  sqlite3_finalize(st);
  sqlite3_close(db);
}

TEST_F(RegistryStore, CreatingAKeyCreatesItsParentsAndNeedsNoValue) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Velmora Free\\General", true));
  EXPECT_EQ(reg.CurrentPath(), "Software\\Velmora Free\\General");
  EXPECT_TRUE(reg.GetValueNames().empty());
  TRegistry other(platform::raRead);
  EXPECT_TRUE(other.KeyExists("Software"));
  EXPECT_TRUE(other.KeyExists("Software\\Velmora Free"));
  ASSERT_TRUE(other.OpenKey("Software\\Velmora Free", false));
  EXPECT_EQ(other.GetKeyNames(), std::vector<std::string>{"General"});
}

TEST_F(RegistryStore, LeadingBackslashNamesTheSameKey) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\Software\\Velmora Free", true));
  reg.WriteString("InstallPath", "/opt/velmora-free");
  TRegistry reader(platform::raRead);
  ASSERT_TRUE(reader.OpenKey("Software\\Velmora Free", false));
  EXPECT_EQ(reader.ReadString("InstallPath"), "/opt/velmora-free");
}

TEST_F(RegistryStore, RelativePathsStartAtTheOpenKey) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Velmora Free", true));
  ASSERT_TRUE(reg.OpenKey("General", true));
  EXPECT_EQ(reg.CurrentPath(), "Software\\Velmora Free\\General");
  ASSERT_TRUE(reg.OpenKey("\\Software", false));
  EXPECT_EQ(reg.CurrentPath(), "Software");
}

TEST_F(RegistryStore, MalformedPathsOpenNothing) {
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey("Software\\\\Velmora Free", true));
  EXPECT_FALSE(reg.OpenKey("\\\\", true));
  EXPECT_FALSE(reg.HasCurrentKey());
}

// The registry's names compare without regard to case, for keys and values,
// also beyond ASCII; the spelling of creation is kept.
struct CaseRow {
  const char* name;
  std::string written;
  std::string asked;
};

void PrintTo(const CaseRow& aRow, std::ostream* os) { *os << aRow.name; }

class RegistryNameCase : public regtest::RegistryFixture,
                         public ::testing::WithParamInterface<CaseRow> {};

TEST_P(RegistryNameCase, KeysAndValuesMatch) {
  const auto& row = GetParam();
  TRegistry writer;
  ASSERT_TRUE(writer.OpenKey("Software\\" + row.written, true));
  writer.WriteString(row.written, "data");
  TRegistry reader(platform::raRead);
  ASSERT_TRUE(reader.OpenKey("SOFTWARE\\" + row.asked, false));
  EXPECT_EQ(reader.CurrentPath(), "Software\\" + row.written);
  EXPECT_TRUE(reader.ValueExists(row.asked));
  EXPECT_EQ(reader.ReadString(row.asked), "data");
  EXPECT_EQ(reader.GetValueNames(), std::vector<std::string>{row.written});
  // Writing under the other spelling replaces the value instead of adding one.
  TRegistry again;
  ASSERT_TRUE(again.OpenKey("software\\" + row.asked, true));
  again.WriteString(row.asked, "new");
  EXPECT_EQ(again.GetValueNames(), std::vector<std::string>{row.written});
  EXPECT_EQ(again.ReadString(row.written), "new");
}

INSTANTIATE_TEST_SUITE_P(Names, RegistryNameCase,
                         ::testing::Values(CaseRow{"ascii", "Velmora Free", "vELMORA fREE"},
                                           CaseRow{"latin1", "Ärger Übung", "ärger übung"},
                                           CaseRow{"cyrillic", "Настройки", "НАСТРОЙКИ"},
                                           CaseRow{"greek", "Ρυθμίσεις", "ρυθμίσεις"},
                                           CaseRow{"z_caron_y_diaeresis", "ŽŸa", "žÿA"},
                                           CaseRow{"z_acute_z_dot", "ŹŻ", "źż"},
                                           CaseRow{"final_sigma", "ΟΔΟΣ", "οδος"},
                                           CaseRow{"iota_tonos", "Ίδιο", "ίδιο"},
                                           CaseRow{"armenian", "Աբ", "աԲ"},
                                           CaseRow{"deseret", "𐐀𐐨", "𐐨𐐀"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistryStore, DifferentNamesStayApart) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kProductKey, true));
  reg.WriteString("Path", "1");
  reg.WriteString("Path2", "2");
  reg.WriteString("Pàth", "3");
  EXPECT_EQ(reg.GetValueNames().size(), 3u);
  EXPECT_EQ(reg.ReadString("PATH"), "1");
}

TEST_F(RegistryStore, ValuesEnumerateInTheOrderOfCreation) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kProductKey, true));
  for (const char* name : {"Zeta", "alpha", "Mid", "beta"}) reg.WriteString(name, name);
  reg.WriteInteger("ALPHA", 5);  // a rewrite keeps its place, even as another kind
  ASSERT_TRUE(reg.DeleteValue("Mid"));
  reg.WriteString("mid", "again");  // a deleted value comes back last
  EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string>{"Zeta", "alpha", "beta", "mid"}));
  EXPECT_EQ(reg.GetDataType("alpha"), platform::rdInteger);
}

TEST_F(RegistryStore, EveryKindReadsBackAsWritten) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kProductKey, true));
  reg.WriteString("Sz", "/opt/velmora-free");
  reg.WriteString("Empty", "");
  reg.WriteExpandString("Expand", "%HOME%/x");
  reg.WriteInteger("Dword", -2);
  reg.WriteBinaryData("Bin", {0x00, 0x0A, 0xFF});
  reg.WriteBinaryData("NoBytes", {});
  reg.WriteRawData("Multi", platform::REG_MULTI_SZ, {'a', 0, 'b', 0, 0});

  TRegistry reader(platform::raRead);
  ASSERT_TRUE(reader.OpenKey(kProductKey, false));
  EXPECT_EQ(reader.ReadString("Sz"), "/opt/velmora-free");
  EXPECT_EQ(reader.ReadString("Empty"), "");
  EXPECT_TRUE(reader.ValueExists("Empty"));
  EXPECT_EQ(reader.ReadString("Expand"), "%HOME%/x");
  EXPECT_EQ(reader.ReadInteger("Dword"), -2);
  EXPECT_EQ(reader.ReadRawData("Dword"), (std::vector<std::uint8_t>{0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(reader.ReadBinaryData("Bin"), (std::vector<std::uint8_t>{0x00, 0x0A, 0xFF}));
  EXPECT_TRUE(reader.ReadBinaryData("NoBytes").empty());
  EXPECT_EQ(reader.ReadBinaryData("Multi"), (std::vector<std::uint8_t>{'a', 0, 'b', 0, 0}));

  EXPECT_EQ(reader.GetDataType("Sz"), platform::rdString);
  EXPECT_EQ(reader.GetDataType("Expand"), platform::rdExpandString);
  EXPECT_EQ(reader.GetDataType("Dword"), platform::rdInteger);
  EXPECT_EQ(reader.GetDataType("Bin"), platform::rdBinary);
  EXPECT_EQ(reader.GetDataType("Multi"), platform::rdUnknown);
  EXPECT_EQ(reader.GetDataType("Absent"), platform::rdUnknown);
  std::uint32_t kind = 0;
  ASSERT_TRUE(reader.GetDataKind("Multi", kind));
  EXPECT_EQ(kind, platform::REG_MULTI_SZ);
  EXPECT_FALSE(reader.GetDataKind("Absent", kind));
}

TEST_F(RegistryStore, ReadingTheWrongKindOrAnAbsentValueRaises) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kProductKey, true));
  reg.WriteInteger("LCID", 1025);
  reg.WriteString("InstallPath", "/opt");
  EXPECT_THROW(reg.ReadString("LCID"), ERegistryException);
  EXPECT_THROW(reg.ReadInteger("InstallPath"), ERegistryException);
  EXPECT_THROW(reg.ReadBinaryData("InstallPath"), ERegistryException);
  EXPECT_THROW(reg.ReadInteger("Absent"), ERegistryException);
  EXPECT_THROW(reg.ReadString("Absent"), ERegistryException);
}

TEST_F(RegistryStore, StringsEndAtTheirFirstZero) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kProductKey, true));
  reg.WriteRawData("Raw", platform::REG_SZ, {'a', 'b', 0, 'c'});
  EXPECT_EQ(reg.ReadString("Raw"), "ab");
}

TEST_F(RegistryStore, MissingKeyDiffersFromMissingValue) {
  TRegistry writer;
  ASSERT_TRUE(writer.OpenKey(kProductKey, true));
  TRegistry reader(platform::raRead);
  EXPECT_FALSE(reader.OpenKey(kProductKey + "\\General", false));
  ASSERT_TRUE(reader.OpenKey(kProductKey, false));
  EXPECT_FALSE(reader.ValueExists("InstallPath"));
}

TEST_F(RegistryStore, DeletingAKeyTakesItsSubkeysAndValues) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kProductKey + "\\General\\Deep", true));
  reg.WriteString("x", "y");
  TRegistry other;
  ASSERT_TRUE(other.DeleteKey("software\\velmora free"));
  EXPECT_FALSE(other.KeyExists(kProductKey + "\\General\\Deep"));
  EXPECT_TRUE(other.KeyExists("Software"));
  EXPECT_FALSE(other.DeleteKey(kProductKey));
  EXPECT_FALSE(other.DeleteKey(""));  // the root stays
  // The first accessor's key is gone: its operations fail instead of writing
  // into nowhere.
  EXPECT_THROW(reg.WriteString("x", "z"), ERegistryException);
  // Recreated, the key is empty.
  ASSERT_TRUE(other.OpenKey(kProductKey + "\\General\\Deep", true));
  EXPECT_TRUE(other.GetValueNames().empty());
}

TEST_F(RegistryStore, RootsAreSeparateHives) {
  TRegistry reg;
  reg.SetRootKey(HKEY_CLASSES_ROOT);
  ASSERT_TRUE(reg.OpenKey(".iso", true));
  reg.SetRootKey(HKEY_CURRENT_USER);
  EXPECT_FALSE(reg.HasCurrentKey());
  EXPECT_FALSE(reg.KeyExists(".iso"));
  reg.SetRootKey(HKEY_CLASSES_ROOT);
  EXPECT_TRUE(reg.KeyExists("\\.ISO"));
  EXPECT_THROW(reg.SetRootKey(static_cast<platform::HKEY>(0x80000002u)), ERegistryException);
}

TEST_F(RegistryStore, ReadOnlyAccessorNeverWrites) {
  TRegistry reg(platform::raRead);
  EXPECT_THROW(reg.OpenKey(kProductKey, true), ERegistryException);
  EXPECT_THROW(reg.CreateKey(kProductKey), ERegistryException);
  EXPECT_THROW(reg.WriteString("x", "y"), ERegistryException);
  EXPECT_FALSE(std::filesystem::exists(platform::RegistryStorePath()));
}

TEST_F(RegistryStore, AStoreThatCannotBeOpenedRaises) {
  std::filesystem::create_directories(platform::RegistryStorePath());  // a folder in its place
  TRegistry reg;
  EXPECT_THROW(reg.OpenKey(kProductKey, true), ERegistryException);
  TRegistry reader(platform::raRead);
  EXPECT_THROW(reader.OpenKey(kProductKey, false), ERegistryException);
}

// Two processes writing the same key at the same moment: every write lands.
TEST_F(RegistryStore, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kValues = 500;
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      int status = 0;
      try {
        for (int i = 0; i < kValues; ++i) {
          TRegistry reg;
          if (!reg.OpenKey(kProductKey + "\\Load", true)) status = 2;
          reg.WriteInteger("P" + std::to_string(c) + "_" + std::to_string(i), i);
        }
      } catch (...) {
        status = 3;
      }
      ::_exit(status);
    }
  }
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  }
  TRegistry reader(platform::raRead);
  ASSERT_TRUE(reader.OpenKey(kProductKey + "\\Load", false));
  EXPECT_EQ(reader.GetValueNames().size(), 2u * kValues);
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < kValues; i += 97) {
      EXPECT_EQ(reader.ReadInteger("p" + std::to_string(c) + "_" + std::to_string(i)), i);
    }
  }
}

}  // namespace
