// A store the user may read but not write still answers "reg query": on a
// read-only mount, when it belongs to another user, and on a full file
// system. Only writes fail, say why, and leave the store as it was. Needs
// root (mounts, and running the tool as another user).

#include <gtest/gtest.h>

#include <cstdio>

#include "RegistryFixture.h"
#include "RegistryV1Store.h"
#include "RunProcess.h"
#include "ScopedMount.h"

namespace {

namespace fs = std::filesystem;
using testsupport::RunProcess;

enum class Lock { ReadOnlyMount, OtherOwner, FullDisk };

struct ReadOnlyRow {
  const char* name;
  Lock lock;
  bool firstVersionStore;  // written by the earlier schema, converted in memory
  std::string value;       // asked for under HKCU\Software\ž
  std::string shown;       // the answer's value line
  std::string addError = "the registry store is read-only";
};

// Writes zeros into `file` until the file system has no byte left.
void FillFileSystem(const fs::path& file) {
  std::FILE* f = std::fopen(file.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::setvbuf(f, nullptr, _IONBF, 0);
  const std::string block(4096, '\0');
  while (std::fwrite(block.data(), 1, block.size(), f) == block.size()) {
  }
  while (std::fwrite(block.data(), 1, 1, f) == 1) {
  }
  std::fclose(f);
}

void PrintTo(const ReadOnlyRow& aRow, std::ostream* os) { *os << aRow.name; }

class RegistryReadOnly : public regtest::RegistryFixture,
                         public ::testing::WithParamInterface<ReadOnlyRow> {
 protected:
  testsupport::ProcessResult Reg(const std::vector<std::string>& args, Lock aLock) {
    std::vector<std::string> argv;
    if (aLock == Lock::OtherOwner) {
      argv = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    argv.push_back((testsupport::BinDir() / "velmora-cli").string());
    argv.push_back("reg");
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, {{"HOME", FHome.home().string()},
                             {"XDG_CONFIG_HOME", (FHome.home() / ".config").string()}});
  }
};

TEST_P(RegistryReadOnly, QueryAnswersAndAddFailsClearly) {
  const auto& row = GetParam();
  const fs::path store = platform::RegistryStorePath();
  const fs::path folder = store.parent_path();
  if (row.firstVersionStore) {
    regtest::WriteV1Store(store);
  } else {
    const auto add =
        Reg({"add", "HKCU\\Software\\Ž", "/v", "Ÿa", "/d", "one"}, Lock::ReadOnlyMount);
    ASSERT_EQ(add.exitCode, 0) << add.err;
  }
  const auto before = testsupport::ReadFileBytes(store);

  std::optional<testsupport::ScopedMount> mount;
  if (row.lock == Lock::ReadOnlyMount) {
    mount.emplace(testsupport::ScopedMount::ReadOnlyBind(folder), folder);
    ASSERT_TRUE(mount->mounted()) << "cannot bind-mount (the test needs root): " << mount->error();
  } else if (row.lock == Lock::FullDisk) {
    // The store alone (no journal, no shared-memory file) on a tiny file
    // system, filled up.
    mount.emplace(testsupport::ScopedMount::Tmpfs(), folder);
    ASSERT_TRUE(mount->mounted()) << "cannot mount a tmpfs (the test needs root): "
                                  << mount->error();
    testsupport::WriteFileBytes(store, before);
    FillFileSystem(folder / "filler");
  } else {
    // Readable by everyone on the way, writable by root only.
    for (fs::path p = folder; p != FHome.home().parent_path(); p = p.parent_path()) {
      fs::permissions(p, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    }
  }

  const auto query = Reg({"query", "HKCU\\Software\\ž", "/v", row.value}, row.lock);
  EXPECT_EQ(query.exitCode, 0) << query.err;
  EXPECT_EQ(query.out, "\nHKEY_CURRENT_USER\\Software\\Ž\n    " + row.shown + "\n\n");

  const auto add = Reg({"add", "HKCU\\Software\\ž", "/v", "New", "/d", "x"}, row.lock);
  EXPECT_EQ(add.exitCode, 1);
  EXPECT_NE(add.err.find(row.addError), std::string::npos) << add.err;
  EXPECT_EQ(testsupport::ReadFileBytes(store), before);
  const auto again = Reg({"query", "HKCU\\Software\\ž", "/v", row.value}, row.lock);
  EXPECT_EQ(again.out, query.out) << again.err;
}

INSTANTIATE_TEST_SUITE_P(Stores, RegistryReadOnly,
                         ::testing::Values(ReadOnlyRow{.name = "read_only_mount",
                                                       .lock = Lock::ReadOnlyMount,
                                                       .firstVersionStore = false,
                                                       .value = "ÿA",
                                                       .shown = "Ÿa    REG_SZ    one"},
                                           ReadOnlyRow{.name = "other_owner",
                                                       .lock = Lock::OtherOwner,
                                                       .firstVersionStore = false,
                                                       .value = "ÿA",
                                                       .shown = "Ÿa    REG_SZ    one"},
                                           ReadOnlyRow{.name = "earlier_version_on_read_only_mount",
                                                       .lock = Lock::ReadOnlyMount,
                                                       .firstVersionStore = true,
                                                       .value = "ŸA (2)",
                                                       .shown = "ÿa (2)    REG_SZ    two"},
                                           ReadOnlyRow{.name = "earlier_version_of_other_owner",
                                                       .lock = Lock::OtherOwner,
                                                       .firstVersionStore = true,
                                                       .value = "ÿa",
                                                       .shown = "Ÿa    REG_SZ    one"},
                                           ReadOnlyRow{.name = "full_file_system",
                                                       .lock = Lock::FullDisk,
                                                       .firstVersionStore = false,
                                                       .value = "ÿA",
                                                       .shown = "Ÿa    REG_SZ    one",
                                                       .addError = "not enough space on the disk"},
                                           ReadOnlyRow{
                                               .name = "earlier_version_on_full_file_system",
                                               .lock = Lock::FullDisk,
                                               .firstVersionStore = true,
                                               .value = "ŸA (2)",
                                               .shown = "ÿa (2)    REG_SZ    two",
                                               .addError = "not enough space on the disk"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
