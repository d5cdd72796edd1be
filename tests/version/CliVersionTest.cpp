// velmora-cli version FILE, run as a process on real program files.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

TEST_F(CliVersion, BuiltProgramPrintsItsVersion) {
  EXPECT_EQ(Version(BinDir() / "velmora-cli"), "2.0.0.0\n");
}

TEST_F(CliVersion, VersionSurvivesStrip) {
  EXPECT_EQ(Version(ProcessedCopy("stripped", {"strip"})), "2.0.0.0\n");
  EXPECT_EQ(Version(ProcessedCopy("strip-all", {"strip", "--strip-all"})), "2.0.0.0\n");
}

TEST_F(CliVersion, RemovingTheNoteSectionRemovesTheVersion) {
  EXPECT_EQ(
      Version(ProcessedCopy("no-note", {"objcopy", "--remove-section", ".note.velmora.version"})),
      "\n");
}

TEST_F(CliVersion, FilesWithoutNotePrintEmptyLine) {
  std::filesystem::copy_file("/bin/true", work / "true");
  EXPECT_EQ(Version(work / "true"), "\n");
  testsupport::WriteFileBytes(work / "readme.txt", "FileVersion=2.0.0.0\n");
  EXPECT_EQ(Version(work / "readme.txt"), "\n");
}

TEST_F(CliVersion, MissingFilePrintsEmptyLineAndLogsNothing) {
  EXPECT_EQ(Version(work / "VelmoraFree"), "\n");
  EXPECT_FALSE(AnyErrLog());
}

TEST_F(CliVersion, WrongArgumentsAreAUsageError) {
  const auto none = RunProcess({(BinDir() / "velmora-cli").string(), "version"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.err.find("usage: velmora-cli version FILE"), std::string::npos);
  EXPECT_EQ(none.out, "");
}

}  // namespace
