#pragma once
// The SQLite side of the registry store, used only by RegistryStore.cpp.
//
// Schema (user_version 2):
//   regkeys(id, parent -> regkeys.id ON DELETE CASCADE, name, folded)
//     one row per key; the two roots are rows 1 (HKEY_CLASSES_ROOT) and
//     2 (HKEY_CURRENT_USER) without a parent; UNIQUE(parent, folded).
//   regvalues(id AUTOINCREMENT, key -> regkeys.id ON DELETE CASCADE, name,
//     folded, kind, data) with UNIQUE(key, folded); id gives the order of
//     creation. data is TEXT (UTF-8) for string kinds, INTEGER for REG_DWORD
//     and BLOB otherwise.
// "folded" is the name in the case-folded form used for every comparison:
// every character with a simple upper-case mapping upper-cased, as the
// Windows registry compares names. Version 1 stores, which folded fewer
// letters, are converted on first open (see RefoldNames()).

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/RegistryStore.h"

namespace platform {

struct StoredValue {
  std::uint32_t kind = REG_NONE;
  int storage = SQLITE_NULL;        // SQLITE_TEXT, SQLITE_INTEGER or SQLITE_BLOB
  std::string text;                 // for SQLITE_TEXT
  std::int64_t integer = 0;         // for SQLITE_INTEGER
  std::vector<std::uint8_t> bytes;  // for SQLITE_BLOB
};

// Names compare in this form: each character upper-cased by its simple
// mapping (so "ž" and "Ž", "ς" and "Σ" are the same); malformed UTF-8 stays
// as it is, byte for byte.
std::string FoldRegistryName(const std::string& aName);

// True for the system's error code (errno here) of a full disk.
bool IsDiskFullError(int aSystemError);

inline constexpr const char* kDiskFullText = "There is not enough space on the disk.";

class RegistryConnection {
 public:
  // Opens the store file. aForWriting creates the file and its schema when
  // missing; otherwise the file must exist. A file that can be read but not
  // written (read-only mount, another owner) still reads; writing it throws.
  // Throws ERegistryException.
  RegistryConnection(const std::filesystem::path& aFile, bool aForWriting);
  ~RegistryConnection();
  RegistryConnection(const RegistryConnection&) = delete;
  RegistryConnection& operator=(const RegistryConnection&) = delete;

  bool Writable() const { return FWritable; }
  bool HasSchema() const { return FHasSchema; }
  // Makes a read connection writable (schema, journal mode).
  void PrepareForWriting();

  // One transaction; writers take the write lock at once (BEGIN IMMEDIATE) so
  // that two processes wait for each other instead of failing on upgrade.
  class Transaction {
   public:
    Transaction(RegistryConnection& aConnection, bool aWrite);
    ~Transaction();
    void Commit();

   private:
    RegistryConnection& FConnection;
    bool FOpen = true;
  };

  // Key ids. std::nullopt when a name on the way is missing.
  static std::int64_t RootId(HKEY aRoot);
  std::optional<std::int64_t> FindChild(std::int64_t aParent, const std::string& aName,
                                        std::string* aStoredName);
  std::int64_t CreateChild(std::int64_t aParent, const std::string& aName);
  bool KeyIdExists(std::int64_t anId);
  void DeleteKeyId(std::int64_t anId);
  std::vector<std::string> ChildNames(std::int64_t aParent);

  std::optional<StoredValue> ReadValue(std::int64_t aKey, const std::string& aName);
  void WriteValue(std::int64_t aKey, const std::string& aName, const StoredValue& aValue);
  bool DeleteValue(std::int64_t aKey, const std::string& aName);
  std::vector<std::string> ValueNames(std::int64_t aKey);

  void Exec(const char* aSql);
  [[noreturn]] void Fail(const std::string& aWhat) const;

 private:
  void Open(const std::string& aName, int aFlags);
  void Setup();
  bool JournalHoldsCommits() const;
  static std::string ImmutableUri(const std::filesystem::path& aFile);
  int SchemaVersion();
  void UpgradeSchema(bool aForWriting);
  void UpgradeRows();
  bool DiskFullNow() const;  // whether SQLite's last failure was a full disk
  void CopyIntoMemory();
  void RefoldNames();
  void RefoldValues(std::int64_t aKey);
  std::vector<std::pair<std::int64_t, std::string>> Rows(const char* aSql, std::int64_t aParam);
  void CreateSchema();

  sqlite3* FDb = nullptr;
  std::filesystem::path FFile;
  bool FWritable = false;
  bool FHasSchema = false;
  bool FInMemory = false;                  // an upgraded copy of a store this process may not write
  mutable bool FFailedOnFullDisk = false;  // set by Fail()
};

}  // namespace platform
