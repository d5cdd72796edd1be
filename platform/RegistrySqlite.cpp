// The registry store's SQLite connection: schema, transactions, key and
// value rows. See RegistrySqlite.h for the schema.

#include "platform/RegistrySqlite.h"

#include <chrono>
#include <thread>

#include "platform/Files.h"

namespace platform {

namespace {

// Long enough for the other program to finish a write; a registry write is
// a handful of rows.
constexpr int kBusyTimeoutMs = 5000;

// RAII prepared statement.
class Statement {
 public:
  Statement(RegistryConnection& aConnection, sqlite3* aDb, const char* aSql)
      : FConnection(aConnection) {
    if (sqlite3_prepare_v2(aDb, aSql, -1, &FStmt, nullptr) != SQLITE_OK) {
      FConnection.Fail("prepare");
    }
  }
  ~Statement() { sqlite3_finalize(FStmt); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int anIndex, std::int64_t aValue) {
    Check(sqlite3_bind_int64(FStmt, anIndex, aValue));
    return *this;
  }
  Statement& Bind(int anIndex, const std::string& aText) {
    Check(sqlite3_bind_text(FStmt, anIndex, aText.data(), static_cast<int>(aText.size()),
                            SQLITE_TRANSIENT));
    return *this;
  }
  Statement& BindBlob(int anIndex, const std::vector<std::uint8_t>& aBytes) {
    // An empty blob must stay a blob, not NULL.
    if (aBytes.empty()) {
      Check(sqlite3_bind_zeroblob(FStmt, anIndex, 0));
    } else {
      Check(sqlite3_bind_blob(FStmt, anIndex, aBytes.data(), static_cast<int>(aBytes.size()),
                              SQLITE_TRANSIENT));
    }
    return *this;
  }
  // True while rows come; false when done.
  bool Step() {
    const int rc = sqlite3_step(FStmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    FConnection.Fail("step");
  }
  std::int64_t Int(int aColumn) { return sqlite3_column_int64(FStmt, aColumn); }
  std::string Text(int aColumn) {
    const auto* p = sqlite3_column_text(FStmt, aColumn);
    const int n = sqlite3_column_bytes(FStmt, aColumn);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n))
             : std::string();
  }
  std::vector<std::uint8_t> Blob(int aColumn) {
    const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(FStmt, aColumn));
    const int n = sqlite3_column_bytes(FStmt, aColumn);
    return p ? std::vector<std::uint8_t>(p, p + n) : std::vector<std::uint8_t>();
  }
  int Type(int aColumn) { return sqlite3_column_type(FStmt, aColumn); }

 private:
  void Check(int rc) {
    if (rc != SQLITE_OK) FConnection.Fail("bind");
  }
  RegistryConnection& FConnection;
  sqlite3_stmt* FStmt = nullptr;
};

// Appends the UTF-8 form of aCode.
void AppendUtf8(std::string& aOut, char32_t aCode) {
  if (aCode < 0x80) {
    aOut += static_cast<char>(aCode);
  } else if (aCode < 0x800) {
    aOut += static_cast<char>(0xC0 | (aCode >> 6));
    aOut += static_cast<char>(0x80 | (aCode & 0x3F));
  } else {
    aOut += static_cast<char>(0xE0 | (aCode >> 12));
    aOut += static_cast<char>(0x80 | ((aCode >> 6) & 0x3F));
    aOut += static_cast<char>(0x80 | (aCode & 0x3F));
  }
}

char32_t FoldCodePoint(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 0x20;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
    return c | 1;
  }
  if (c >= 0x139 && c <= 0x148 && (c & 1)) return c + 1;
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

}  // namespace

std::string FoldRegistryName(const std::string& aName) {
  std::string out;
  out.reserve(aName.size());
  std::size_t i = 0;
  while (i < aName.size()) {
    const auto b0 = static_cast<unsigned char>(aName[i]);
    // Two- and three-byte sequences cover every letter folded here; anything
    // else (and malformed UTF-8) is copied byte for byte.
    if (b0 >= 0xC2 && b0 <= 0xDF && i + 1 < aName.size() &&
        (static_cast<unsigned char>(aName[i + 1]) & 0xC0) == 0x80) {
      const char32_t c =
          (char32_t(b0 & 0x1F) << 6) | (static_cast<unsigned char>(aName[i + 1]) & 0x3F);
      AppendUtf8(out, FoldCodePoint(c));
      i += 2;
    } else if (b0 < 0x80) {
      out += static_cast<char>(FoldCodePoint(b0));
      ++i;
    } else {
      out += aName[i];
      ++i;
    }
  }
  return out;
}

bool SameRegistryName(const std::string& a, const std::string& b) {
  return FoldRegistryName(a) == FoldRegistryName(b);
}

RegistryConnection::RegistryConnection(const std::filesystem::path& aFile, bool aForWriting)
    : FFile(aFile) {
  int flags = SQLITE_OPEN_FULLMUTEX;
  if (aForWriting) {
    if (!ForceDirectories(aFile.parent_path())) {
      throw ERegistryException("cannot create the folder of the registry store " +
                               aFile.parent_path().string());
    }
    flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  } else {
    flags |= SQLITE_OPEN_READWRITE;
  }
  int rc = sqlite3_open_v2(aFile.c_str(), &FDb, flags, nullptr);
  if (rc != SQLITE_OK && !aForWriting) {
    // A store the user may only read is still readable.
    sqlite3_close(FDb);
    FDb = nullptr;
    rc = sqlite3_open_v2(aFile.c_str(), &FDb, SQLITE_OPEN_READONLY, nullptr);
  }
  if (rc != SQLITE_OK) {
    const std::string what = FDb ? sqlite3_errmsg(FDb) : "out of memory";
    sqlite3_close(FDb);
    FDb = nullptr;
    throw ERegistryException("cannot open the registry store " + aFile.string() + ": " + what);
  }
  try {
    sqlite3_busy_timeout(FDb, kBusyTimeoutMs);
    Exec("PRAGMA foreign_keys = ON");
    {
      Statement st(*this, FDb, "SELECT count(*) FROM sqlite_master WHERE name = 'regvalues'");
      st.Step();
      FHasSchema = st.Int(0) != 0;
    }
    if (aForWriting) PrepareForWriting();
  } catch (...) {
    sqlite3_close(FDb);  // the destructor does not run for a failed constructor
    FDb = nullptr;
    throw;
  }
}

RegistryConnection::~RegistryConnection() { sqlite3_close(FDb); }

void RegistryConnection::PrepareForWriting() {
  if (FWritable) return;
  if (sqlite3_db_readonly(FDb, "main") == 1) {
    throw ERegistryException("the registry store is read-only: " + FFile.string());
  }
  // The journal mode is a property of the file; a new file switches to WAL
  // so that readers never wait for a writer. Switching needs a moment alone
  // with the file, which the busy handler does not always wait for: retry.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
  for (;;) {
    const int rc = sqlite3_exec(FDb, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) break;
    if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || std::chrono::steady_clock::now() > deadline) {
      Fail("journal mode");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // NORMAL keeps every commit atomic after a crash of the program or the
  // system (a power loss may undo the last commits, never half of one)
  // without a disk sync per write.
  Exec("PRAGMA synchronous = NORMAL");
  if (!FHasSchema) CreateSchema();
  FWritable = true;
}

void RegistryConnection::CreateSchema() {
  Transaction t(*this, true);
  Exec(
      "CREATE TABLE IF NOT EXISTS regkeys("
      " id INTEGER PRIMARY KEY,"
      " parent INTEGER REFERENCES regkeys(id) ON DELETE CASCADE,"
      " name TEXT NOT NULL,"
      " folded TEXT NOT NULL,"
      " UNIQUE(parent, folded));"
      "CREATE TABLE IF NOT EXISTS regvalues("
      " id INTEGER PRIMARY KEY AUTOINCREMENT,"
      " key INTEGER NOT NULL REFERENCES regkeys(id) ON DELETE CASCADE,"
      " name TEXT NOT NULL,"
      " folded TEXT NOT NULL,"
      " kind INTEGER NOT NULL,"
      " data,"
      " UNIQUE(key, folded));"
      "INSERT OR IGNORE INTO regkeys(id, parent, name, folded) VALUES"
      " (1, NULL, 'HKEY_CLASSES_ROOT', 'hkey_classes_root'),"
      " (2, NULL, 'HKEY_CURRENT_USER', 'hkey_current_user');"
      "PRAGMA user_version = 1;");
  t.Commit();
  FHasSchema = true;
}

RegistryConnection::Transaction::Transaction(RegistryConnection& aConnection, bool aWrite)
    : FConnection(aConnection) {
  FConnection.Exec(aWrite ? "BEGIN IMMEDIATE" : "BEGIN");
}

RegistryConnection::Transaction::~Transaction() {
  if (FOpen) sqlite3_exec(FConnection.FDb, "ROLLBACK", nullptr, nullptr, nullptr);
}

void RegistryConnection::Transaction::Commit() {
  FConnection.Exec("COMMIT");
  FOpen = false;
}

std::int64_t RegistryConnection::RootId(HKEY aRoot) {
  switch (aRoot) {
    case HKEY_CLASSES_ROOT:
      return 1;
    case HKEY_CURRENT_USER:
      return 2;
  }
  throw ERegistryException("unknown registry root");
}

std::optional<std::int64_t> RegistryConnection::FindChild(std::int64_t aParent,
                                                          const std::string& aName,
                                                          std::string* aStoredName) {
  Statement st(*this, FDb, "SELECT id, name FROM regkeys WHERE parent = ?1 AND folded = ?2");
  st.Bind(1, aParent).Bind(2, FoldRegistryName(aName));
  if (!st.Step()) return std::nullopt;
  if (aStoredName) *aStoredName = st.Text(1);
  return st.Int(0);
}

std::int64_t RegistryConnection::CreateChild(std::int64_t aParent, const std::string& aName) {
  Statement st(*this, FDb, "INSERT INTO regkeys(parent, name, folded) VALUES(?1, ?2, ?3)");
  st.Bind(1, aParent).Bind(2, aName).Bind(3, FoldRegistryName(aName));
  st.Step();
  return sqlite3_last_insert_rowid(FDb);
}

bool RegistryConnection::KeyIdExists(std::int64_t anId) {
  Statement st(*this, FDb, "SELECT 1 FROM regkeys WHERE id = ?1");
  st.Bind(1, anId);
  return st.Step();
}

void RegistryConnection::DeleteKeyId(std::int64_t anId) {
  Statement st(*this, FDb, "DELETE FROM regkeys WHERE id = ?1");
  st.Bind(1, anId);
  st.Step();
}

std::vector<std::string> RegistryConnection::ChildNames(std::int64_t aParent) {
  Statement st(*this, FDb, "SELECT name FROM regkeys WHERE parent = ?1 ORDER BY folded");
  st.Bind(1, aParent);
  std::vector<std::string> names;
  while (st.Step()) names.push_back(st.Text(0));
  return names;
}

std::optional<StoredValue> RegistryConnection::ReadValue(std::int64_t aKey,
                                                         const std::string& aName) {
  Statement st(*this, FDb, "SELECT kind, data FROM regvalues WHERE key = ?1 AND folded = ?2");
  st.Bind(1, aKey).Bind(2, FoldRegistryName(aName));
  if (!st.Step()) return std::nullopt;
  StoredValue v;
  v.kind = static_cast<std::uint32_t>(st.Int(0));
  v.storage = st.Type(1);
  switch (v.storage) {
    case SQLITE_TEXT:
      v.text = st.Text(1);
      break;
    case SQLITE_INTEGER:
      v.integer = st.Int(1);
      break;
    case SQLITE_NULL:
      v.storage = SQLITE_BLOB;
      break;
    default:
      v.storage = SQLITE_BLOB;
      v.bytes = st.Blob(1);
      break;
  }
  return v;
}

void RegistryConnection::WriteValue(std::int64_t aKey, const std::string& aName,
                                    const StoredValue& aValue) {
  // An existing value keeps its row, and so its place in the enumeration.
  Statement st(
      *this, FDb,
      "INSERT INTO regvalues(key, name, folded, kind, data) VALUES(?1, ?2, ?3, ?4, ?5)"
      " ON CONFLICT(key, folded) DO UPDATE SET kind = excluded.kind, data = excluded.data");
  st.Bind(1, aKey).Bind(2, aName).Bind(3, FoldRegistryName(aName)).Bind(4, aValue.kind);
  switch (aValue.storage) {
    case SQLITE_TEXT:
      st.Bind(5, aValue.text);
      break;
    case SQLITE_INTEGER:
      st.Bind(5, aValue.integer);
      break;
    default:
      st.BindBlob(5, aValue.bytes);
      break;
  }
  st.Step();
}

bool RegistryConnection::DeleteValue(std::int64_t aKey, const std::string& aName) {
  Statement st(*this, FDb, "DELETE FROM regvalues WHERE key = ?1 AND folded = ?2");
  st.Bind(1, aKey).Bind(2, FoldRegistryName(aName));
  st.Step();
  return sqlite3_changes(FDb) > 0;
}

std::vector<std::string> RegistryConnection::ValueNames(std::int64_t aKey) {
  Statement st(*this, FDb, "SELECT name FROM regvalues WHERE key = ?1 ORDER BY id");
  st.Bind(1, aKey);
  std::vector<std::string> names;
  while (st.Step()) names.push_back(st.Text(0));
  return names;
}

void RegistryConnection::Exec(const char* aSql) {
  if (sqlite3_exec(FDb, aSql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(aSql);
}

void RegistryConnection::Fail(const std::string& aWhat) const {
  throw ERegistryException("registry store " + FFile.string() + ": " + aWhat + ": " +
                           sqlite3_errmsg(FDb));
}

}  // namespace platform
