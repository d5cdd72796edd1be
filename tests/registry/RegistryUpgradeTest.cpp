// A store written by an earlier version, which folded fewer letters, is
// converted on first open: names that now compare equal merge, nothing is
// dropped.

#include <sqlite3.h>

#include <filesystem>

#include "RegistryFixture.h"
#include "RegistryV1Store.h"

namespace {

using platform::TRegistry;

class RegistryUpgrade : public regtest::RegistryFixture {};

int UserVersion(const std::filesystem::path& aFile) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(aFile.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &st, nullptr);
  const int version = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : -1;
  sqlite3_finalize(st);
  sqlite3_close(db);
  return version;
}

TEST_F(RegistryUpgrade, KeysThatNowCompareEqualMergeAndClashingValuesAreRenamed) {
  regtest::WriteV1Store(platform::RegistryStorePath());
  {
    TRegistry reader(platform::raRead);
    ASSERT_TRUE(reader.OpenKey("Software\\ž", false));
    regtest::ExpectV1StoreMerged(reader);
  }
  EXPECT_EQ(UserVersion(platform::RegistryStorePath()), 2);
  // The converted file answers the next open the same way.
  TRegistry again(platform::raRead);
  ASSERT_TRUE(again.OpenKey("SOFTWARE\\Ž", false));
  regtest::ExpectV1StoreMerged(again);
}

}  // namespace
