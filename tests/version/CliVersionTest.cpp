// velmora-cli version FILE, run as a process on real program files.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "RunProcess.h"
#include "TempDir.h"

namespace {

using testsupport::BinDir;
using testsupport::RunProcess;
using testsupport::TempDir;

class CliVersion : public testing::Test {
 protected:
  // Prints of velmora-cli version for path, with its exit status checked.
  std::string Version(const std::filesystem::path& path) {
    const auto result = RunProcess({(BinDir() / "velmora-cli").string(), "version", path.string()},
                                   {{"HOME", home.path().string()},
                                    {"XDG_DATA_HOME", (home / "data").string()},
                                    {"XDG_CONFIG_HOME", (home / "config").string()},
                                    {"XDG_CACHE_HOME", (home / "cache").string()}});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    return result.out;
  }
  // Copies velmora-cli into the work folder and runs tool on the copy.
  std::filesystem::path ProcessedCopy(const std::string& name,
                                      const std::vector<std::string>& tool) {
    const auto copy = work / name;
    std::filesystem::copy_file(BinDir() / "velmora-cli", copy);
    auto argv = tool;
    argv.push_back(copy.string());
    const auto result = RunProcess(argv);
    EXPECT_EQ(result.exitCode, 0) << argv[0] << " failed: " << result.err;
    return copy;
  }
  bool AnyErrLog() const {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home.path()))
      if (entry.path().filename() == "Err.log") return true;
    return false;
  }

  TempDir home, work;
};

// A program file made for the row in the work folder (or the built tool
// itself), and what velmora-cli version prints for it. Damage to the note
// itself is tried on the reader directly (DamagedFileTest); these rows are
// files as users meet them.
struct VersionRow {
  const char* name;
  std::vector<std::string> tool;  // run on a copy of velmora-cli; empty: no copy
  std::string otherFile;          // "true": /bin/true, "text", "missing"; else the built tool
  std::string printed;
};

void PrintTo(const VersionRow& row, std::ostream* os) { *os << row.name; }

class CliVersionFiles : public CliVersion, public testing::WithParamInterface<VersionRow> {};

TEST_P(CliVersionFiles, PrintVersionAndLogNothing) {
  const auto& row = GetParam();
  std::filesystem::path file = BinDir() / "velmora-cli";
  if (!row.tool.empty()) {
    file = ProcessedCopy(row.name, row.tool);
  } else if (row.otherFile == "true") {
    file = work / "true";
    std::filesystem::copy_file("/bin/true", file);
  } else if (row.otherFile == "text") {
    file = work / "readme.txt";
    testsupport::WriteFileBytes(file, "FileVersion=2.0.0.0\n");
  } else if (row.otherFile == "missing") {
    file = work / "VelmoraFree";
  }
  EXPECT_EQ(Version(file), row.printed);
  EXPECT_FALSE(AnyErrLog());
}

INSTANTIATE_TEST_SUITE_P(
    Files, CliVersionFiles,
    testing::Values(
        VersionRow{.name = "built_program", .tool = {}, .otherFile = "", .printed = "2.0.0.0\n"},
        VersionRow{.name = "stripped", .tool = {"strip"}, .otherFile = "", .printed = "2.0.0.0\n"},
        VersionRow{.name = "strip_all",
                   .tool = {"strip", "--strip-all"},
                   .otherFile = "",
                   .printed = "2.0.0.0\n"},
        VersionRow{.name = "note_section_removed",
                   .tool = {"objcopy", "--remove-section", ".note.velmora.version"},
                   .otherFile = "",
                   .printed = "\n"},
        VersionRow{
            .name = "program_without_note", .tool = {}, .otherFile = "true", .printed = "\n"},
        VersionRow{.name = "text_file", .tool = {}, .otherFile = "text", .printed = "\n"},
        VersionRow{.name = "missing_file", .tool = {}, .otherFile = "missing", .printed = "\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliVersion, WrongArgumentsAreAUsageError) {
  const auto none = RunProcess({(BinDir() / "velmora-cli").string(), "version"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.err.find("usage: velmora-cli version FILE"), std::string::npos);
  EXPECT_EQ(none.out, "");
}

}  // namespace
