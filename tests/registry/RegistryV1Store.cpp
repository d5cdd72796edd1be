#include "RegistryV1Store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace regtest {

void WriteV1Store(const std::filesystem::path& aFile) {
  std::filesystem::create_directories(aFile.parent_path());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(aFile.c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  const int rc =
      sqlite3_exec(db,
                   "CREATE TABLE regkeys(id INTEGER PRIMARY KEY,"
                   " parent INTEGER REFERENCES regkeys(id) ON DELETE CASCADE,"
                   " name TEXT NOT NULL, folded TEXT NOT NULL, UNIQUE(parent, folded));"
                   "CREATE TABLE regvalues(id INTEGER PRIMARY KEY AUTOINCREMENT,"
                   " key INTEGER NOT NULL REFERENCES regkeys(id) ON DELETE CASCADE,"
                   " name TEXT NOT NULL, folded TEXT NOT NULL, kind INTEGER NOT NULL, data,"
                   " UNIQUE(key, folded));"
                   "INSERT INTO regkeys VALUES"
                   " (1, NULL, 'HKEY_CLASSES_ROOT', 'hkey_classes_root'),"
                   " (2, NULL, 'HKEY_CURRENT_USER', 'hkey_current_user'),"
                   " (3, 2, 'Software', 'software'),"
                   " (4, 3, 'Ž', 'Ž'),"
                   " (5, 3, 'ž', 'ž'),"
                   " (6, 4, 'Sub', 'sub'),"
                   " (7, 5, 'SUB', 'sub');"
                   "INSERT INTO regvalues(key, name, folded, kind, data) VALUES"
                   " (4, 'Ÿa', 'Ÿa', 1, 'one'),"
                   " (5, 'ÿa', 'ÿa', 1, 'two'),"
                   " (5, 'Other', 'other', 4, 7),"
                   " (6, 'v', 'v', 1, 'under Ž'),"
                   " (7, 'w', 'w', 1, 'under ž');"
                   "PRAGMA user_version = 1;",
                   nullptr, nullptr, &error);
  EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

void ExpectV1StoreMerged(platform::TRegistry& aReader) {
  EXPECT_EQ(aReader.CurrentPath(), "Software\\Ž");
  EXPECT_EQ(aReader.GetValueNames(), (std::vector<std::string>{"Ÿa", "ÿa (2)", "Other"}));
  EXPECT_EQ(aReader.ReadString("ÿA"), "one");
  EXPECT_EQ(aReader.ReadString("ŸA (2)"), "two");
  EXPECT_EQ(aReader.ReadInteger("OTHER"), 7);
  EXPECT_EQ(aReader.GetKeyNames(), std::vector<std::string>{"Sub"});
  ASSERT_TRUE(aReader.OpenKey("sub", false));
  EXPECT_EQ(aReader.GetValueNames(), (std::vector<std::string>{"v", "w"}));
  EXPECT_EQ(aReader.ReadString("W"), "under ž");
}

}  // namespace regtest
