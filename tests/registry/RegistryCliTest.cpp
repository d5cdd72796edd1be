// velmora-cli reg as users and installers run it: real processes on an
// isolated store.

#include "RegistryFixture.h"
#include "RunProcess.h"
#include "support/uWorkWithRegistry.h"

namespace {

using testsupport::ProcessResult;
using testsupport::RunProcess;

class RegCli : public regtest::RegistryFixture {
 protected:
  ProcessResult Reg(std::vector<std::string> args) {
    args.insert(args.begin(), {(testsupport::BinDir() / "velmora-cli").string(), "reg"});
    return RunProcess(args, Env());
  }
  std::map<std::string, std::string> Env() const {
    return {{"HOME", FHome.home().string()},
            {"XDG_CONFIG_HOME", (FHome.home() / ".config").string()}};
  }
};

const std::string kKey = "HKCU\\Software\\Velmora Free";

struct KindRow {
  const char* name;
  std::string type;
  std::string data;
  std::string shown;  // the value line of reg query
};

void PrintTo(const KindRow& aRow, std::ostream* os) { *os << aRow.name; }

class RegCliKinds : public RegCli, public ::testing::WithParamInterface<KindRow> {};

TEST_P(RegCliKinds, AddThenQueryRoundTrips) {
  const auto& row = GetParam();
  const auto add = Reg({"add", kKey, "/v", "Value", "/t", row.type, "/d", row.data, "/f"});
  ASSERT_EQ(add.exitCode, 0) << add.err;
  const auto query = Reg({"query", kKey, "/v", "Value"});
  ASSERT_EQ(query.exitCode, 0) << query.err;
  EXPECT_EQ(query.out,
            "\nHKEY_CURRENT_USER\\Software\\Velmora Free\n    Value    " + row.shown + "\n\n");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, RegCliKinds,
    ::testing::Values(
        KindRow{"string", "REG_SZ", "/opt/velmora free", "REG_SZ    /opt/velmora free"},
        KindRow{"empty_string", "REG_SZ", "", "REG_SZ    "},
        KindRow{"utf8_string", "REG_SZ", "/home/мария/диск", "REG_SZ    /home/мария/диск"},
        KindRow{"expandable", "reg_expand_sz", "$HOME/x", "REG_EXPAND_SZ    $HOME/x"},
        KindRow{"dword_decimal", "REG_DWORD", "1025", "REG_DWORD    0x401"},
        KindRow{"dword_hex", "REG_DWORD", "0xFFFFFFFF", "REG_DWORD    0xffffffff"},
        KindRow{"binary", "REG_BINARY", "000aFF", "REG_BINARY    000AFF"},
        KindRow{"empty_binary", "REG_BINARY", "", "REG_BINARY    "},
        // String data prints on one line, escaped as scan escapes names.
        KindRow{"string_with_line_breaks_and_tab", "REG_SZ", "a\nb\r\nc\td",
                "REG_SZ    a\\nb\\r\\nc\\td"},
        KindRow{"string_with_backslash", "REG_SZ", "C:\\x41\\", "REG_SZ    C:\\\\x41\\\\"},
        KindRow{"expandable_with_terminal_escape", "REG_EXPAND_SZ", "\x1b[2J$HOME",
                "REG_EXPAND_SZ    \\x1B[2J$HOME"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegCli, InstallerValuesReachThePrograms) {
  ASSERT_EQ(
      Reg({"add", kKey, "/v", "InstallPath", "/t", "REG_SZ", "/d", "/opt/velmora-free"}).exitCode,
      0);
  ASSERT_EQ(Reg({"add", kKey, "/v", "LCID", "/t", "REG_DWORD", "/d", "0x401"}).exitCode, 0);
  EXPECT_EQ(RegistryUtils::GetStrValueDef(regtest::kProductKey, "InstallPath", "-"),
            "/opt/velmora-free");
  EXPECT_EQ(RegistryUtils::GetIntegerValue(regtest::kProductKey, "LCID"), 1025);
  RegistryUtils::SetStrValue("Software\\Velmora Free\\General", "SavePath", "/media/x");
  const auto query = Reg({"query", "hkey_current_user\\software\\VELMORA FREE"});
  ASSERT_EQ(query.exitCode, 0) << query.err;
  EXPECT_EQ(query.out,
            "\nHKEY_CURRENT_USER\\Software\\Velmora Free\n"
            "    InstallPath    REG_SZ    /opt/velmora-free\n"
            "    LCID    REG_DWORD    0x401\n"
            "\n"
            "HKEY_CURRENT_USER\\Software\\Velmora Free\\General\n");
}

TEST_F(RegCli, NamesAreCaseInsensitive) {
  ASSERT_EQ(Reg({"add", kKey, "/v", "InstallPath", "/d", "/a"}).exitCode, 0);
  ASSERT_EQ(Reg({"add", "hkcu\\SOFTWARE\\velmora free", "/v", "INSTALLPATH", "/d", "/b"}).exitCode,
            0);
  const auto query = Reg({"query", "HKCU\\software\\Velmora FREE", "/v", "installpath"});
  ASSERT_EQ(query.exitCode, 0) << query.err;
  EXPECT_EQ(query.out,
            "\nHKEY_CURRENT_USER\\Software\\Velmora Free\n    InstallPath    REG_SZ    /b\n\n");
}

// Names written in one case and asked for in another, beyond Latin-1.
struct FoldRow {
  const char* name;
  std::string written;  // key under HKCU\Software, and the value's name
  std::string asked;
};

void PrintTo(const FoldRow& aRow, std::ostream* os) { *os << aRow.name; }

class RegCliFolds : public RegCli, public ::testing::WithParamInterface<FoldRow> {};

TEST_P(RegCliFolds, QueryFindsTheOtherCase) {
  const auto& row = GetParam();
  const auto add =
      Reg({"add", "HKCU\\Software\\" + row.written, "/v", row.written + "a", "/d", "one"});
  ASSERT_EQ(add.exitCode, 0) << add.err;
  const auto query = Reg({"query", "HKCU\\Software\\" + row.asked, "/v", row.asked + "a"});
  ASSERT_EQ(query.exitCode, 0) << query.err;
  EXPECT_EQ(query.out, "\nHKEY_CURRENT_USER\\Software\\" + row.written + "\n    " + row.written +
                           "a    REG_SZ    one\n\n");
}

INSTANTIATE_TEST_SUITE_P(Letters, RegCliFolds,
                         ::testing::Values(FoldRow{"z_caron", "Ž", "ž"},
                                           FoldRow{"y_diaeresis", "Ÿ", "ÿ"},
                                           FoldRow{"z_acute", "Ź", "ź"}, FoldRow{"z_dot", "Ż", "ż"},
                                           FoldRow{"final_sigma", "Σ", "ς"},
                                           FoldRow{"iota_tonos", "Ί", "ί"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegCli, MissingKeyAndMissingValueFail) {
  const auto key = Reg({"query", kKey});
  EXPECT_EQ(key.exitCode, 1);
  EXPECT_NE(
      key.err.find("ERROR: The system was unable to find the specified registry key or value."),
      std::string::npos)
      << key.err;
  ASSERT_EQ(Reg({"add", kKey}).exitCode, 0);  // the key alone
  const auto empty = Reg({"query", kKey});
  EXPECT_EQ(empty.exitCode, 0);
  EXPECT_EQ(empty.out, "\nHKEY_CURRENT_USER\\Software\\Velmora Free\n\n");
  const auto value = Reg({"query", kKey, "/v", "LCID"});
  EXPECT_EQ(value.exitCode, 1);
  EXPECT_NE(value.err.find("unable to find"), std::string::npos);
}

TEST_F(RegCli, DeleteRemovesValuesAndKeys) {
  ASSERT_EQ(Reg({"add", kKey + "\\General", "/v", "SavePath", "/d", "/x"}).exitCode, 0);
  ASSERT_EQ(Reg({"add", kKey, "/v", "LCID", "/t", "REG_DWORD", "/d", "1"}).exitCode, 0);
  EXPECT_EQ(Reg({"delete", kKey, "/v", "lcid", "/f"}).exitCode, 0);
  EXPECT_EQ(Reg({"query", kKey, "/v", "LCID"}).exitCode, 1);
  EXPECT_EQ(Reg({"delete", kKey, "/v", "LCID"}).exitCode, 1);
  EXPECT_EQ(Reg({"delete", "HKCU\\software"}).exitCode, 0);
  EXPECT_EQ(Reg({"query", kKey + "\\General"}).exitCode, 1);
  EXPECT_EQ(Reg({"delete", "HKCU\\software"}).exitCode, 1);
}

// Names of keys and values print escaped too: every line of the answer is
// one key or one value.
TEST_F(RegCli, NamesWithLineBreaksPrintOnOneLine) {
  ASSERT_EQ(Reg({"add", kKey + "\\two\nlines", "/v", "a\tb\nc", "/d", "x"}).exitCode, 0);
  const auto key = Reg({"query", kKey});
  ASSERT_EQ(key.exitCode, 0) << key.err;
  EXPECT_EQ(key.out,
            "\nHKEY_CURRENT_USER\\Software\\Velmora Free\n\n"
            "HKEY_CURRENT_USER\\Software\\Velmora Free\\two\\nlines\n");
  const auto value = Reg({"query", kKey + "\\two\nlines"});
  ASSERT_EQ(value.exitCode, 0) << value.err;
  EXPECT_EQ(value.out,
            "\nHKEY_CURRENT_USER\\Software\\Velmora Free\\two\\nlines\n"
            "    a\\tb\\nc    REG_SZ    x\n\n");
}

// A tree deeper than SQLite's limit of nested cascades (1000) is added,
// read and deleted whole.
TEST_F(RegCli, DeletesAKeyTreeOfAnyDepth) {
  std::string deep = "HKCU\\Software\\Deep";
  for (int level = 0; level < 1500; ++level) deep += "\\k";
  ASSERT_EQ(Reg({"add", deep, "/v", "Bottom", "/d", "1500"}).exitCode, 0);
  ASSERT_EQ(Reg({"add", kKey, "/v", "Stays", "/d", "yes"}).exitCode, 0);
  const auto bottom = Reg({"query", deep, "/v", "Bottom"});
  ASSERT_EQ(bottom.exitCode, 0) << bottom.err;
  EXPECT_NE(bottom.out.find("    Bottom    REG_SZ    1500\n"), std::string::npos);

  const auto removed = Reg({"delete", "HKCU\\Software\\Deep", "/f"});

  EXPECT_EQ(removed.exitCode, 0) << removed.err;
  EXPECT_EQ(removed.out, "The operation completed successfully.\n");
  EXPECT_EQ(Reg({"query", "HKCU\\Software\\Deep"}).exitCode, 1);
  EXPECT_EQ(Reg({"query", deep}).exitCode, 1);
  EXPECT_EQ(Reg({"query", kKey, "/v", "Stays"}).exitCode, 0) << "a sibling tree stays";
  // Only that tree went: Software holds Velmora Free alone.
  platform::TRegistry reg(platform::raRead);
  ASSERT_TRUE(reg.OpenKey("\\Software", false));
  EXPECT_EQ(reg.GetKeyNames(), std::vector<std::string>{"Velmora Free"});
}

TEST_F(RegCli, ClassesRootIsItsOwnHive) {
  ASSERT_EQ(Reg({"add", "HKCR\\.iso", "/ve", "/d", "isofile"}).exitCode, 0);
  EXPECT_TRUE(RegistryUtils::FindKey_Classes(".iso"));
  EXPECT_EQ(Reg({"query", "HKCU\\.iso"}).exitCode, 1);
  const auto query = Reg({"query", "HKEY_CLASSES_ROOT\\.ISO"});
  EXPECT_EQ(query.out, "\nHKEY_CLASSES_ROOT\\.iso\n    (Default)    REG_SZ    isofile\n\n");
}

struct BadRow {
  const char* name;
  std::vector<std::string> args;
};

void PrintTo(const BadRow& aRow, std::ostream* os) { *os << aRow.name; }

class RegCliRejects : public RegCli, public ::testing::WithParamInterface<BadRow> {};

TEST_P(RegCliRejects, WithStatusOneAndAMessage) {
  const auto result = Reg(GetParam().args);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_FALSE(result.err.empty());
  EXPECT_TRUE(result.out.empty()) << result.out;
  EXPECT_FALSE(std::filesystem::exists(platform::RegistryStorePath()));
}

INSTANTIATE_TEST_SUITE_P(
    Args, RegCliRejects,
    ::testing::Values(
        BadRow{"no_key", {"query"}},
        BadRow{"unknown_root", {"add", "HKLM\\Software", "/v", "x", "/d", "y"}},
        BadRow{"unknown_operation", {"copy", kKey}},
        BadRow{"unknown_type", {"add", kKey, "/v", "x", "/t", "REG_QWORD", "/d", "1"}},
        BadRow{"dword_too_big", {"add", kKey, "/v", "x", "/t", "REG_DWORD", "/d", "4294967296"}},
        BadRow{"dword_not_a_number", {"add", kKey, "/v", "x", "/t", "REG_DWORD", "/d", "12a"}},
        BadRow{"binary_odd_digits", {"add", kKey, "/v", "x", "/t", "REG_BINARY", "/d", "0aF"}},
        BadRow{"binary_not_hex", {"add", kKey, "/v", "x", "/t", "REG_BINARY", "/d", "zz"}},
        BadRow{"v_without_name", {"add", kKey, "/v"}},
        BadRow{"unknown_switch", {"add", kKey, "/x"}},
        BadRow{"malformed_path", {"add", "HKCU\\a\\\\b"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Two processes, each adding 500 values to the same key through velmora-cli
// at the same time: all 1000 are there afterwards.
TEST_F(RegCli, TwoProcessesAddingAtOnceLoseNothing) {
  const std::string cli = (testsupport::BinDir() / "velmora-cli").string();
  const std::string loop =
      "i=0; while [ $i -lt 500 ]; do \"$0\" reg add 'HKCU\\Software\\Velmora Free\\Load' /v $1_$i "
      "/t REG_DWORD /d $i >/dev/null || exit 1; i=$((i+1)); done";
  const auto result = RunProcess({"sh", "-c",
                                  "sh -c \"$1\" \"$0\" A & a=$!; sh -c \"$1\" \"$0\" B & b=$!; "
                                  "wait $a; ra=$?; wait $b; rb=$?; exit $((ra | rb))",
                                  cli, loop},
                                 Env());
  ASSERT_EQ(result.exitCode, 0) << result.err;
  platform::TRegistry reg(platform::raRead);
  ASSERT_TRUE(reg.OpenKey(regtest::kProductKey + "\\Load", false));
  const auto names = reg.GetValueNames();
  EXPECT_EQ(names.size(), 1000u);
  for (const char* p : {"A", "B"}) {
    for (int i = 0; i < 500; ++i) {
      EXPECT_EQ(reg.ReadInteger(std::string(p) + "_" + std::to_string(i)), i);
    }
  }
  const auto query = Reg({"query", kKey + "\\Load", "/v", "b_499"});
  EXPECT_EQ(
      query.out,
      "\nHKEY_CURRENT_USER\\Software\\Velmora Free\\Load\n    B_499    REG_DWORD    0x1f3\n\n");
}

}  // namespace
