// The registry store's SQLite connection: schema, transactions, key and
// value rows. See RegistrySqlite.h for the schema.

#include "platform/RegistrySqlite.h"

#include <cctype>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/Files.h"
#include "platform/HexText.h"
#include "platform/Unicode.h"

namespace platform {

namespace {

// Long enough for the other program to finish a write; a registry write is
// a handful of rows.
constexpr int kBusyTimeoutMs = 5000;

// Raised whenever stored rows change meaning; UpgradeSchema() converts.
constexpr int kSchemaVersion = 2;

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
  // Ready to run again with new bindings.
  Statement& Reset() {
    sqlite3_reset(FStmt);
    return *this;
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

}  // namespace

std::string FoldRegistryName(const std::string& aName) {
  std::string out;
  out.reserve(aName.size());
  for (std::size_t i = 0; i < aName.size();) {
    char32_t c = 0;
    const std::size_t length = DecodeUtf8At(aName, i, c);
    if (length == 0) {
      out += aName[i];  // malformed UTF-8 is compared byte for byte
      ++i;
      continue;
    }
    AppendUtf8(out, SimpleUpperCase(c));
    i += length;
  }
  return out;
}

bool SameRegistryName(const std::string& a, const std::string& b) {
  return FoldRegistryName(a) == FoldRegistryName(b);
}

RegistryConnection::RegistryConnection(const std::filesystem::path& aFile, bool aForWriting)
    : FFile(aFile) {
  if (aForWriting && !ForceDirectories(aFile.parent_path())) {
    throw ERegistryException("cannot create the folder of the registry store " +
                             aFile.parent_path().string());
  }
  // A file the user may only read opens read-only even when asked for
  // writing; PrepareForWriting() tells so.
  Open(aFile.string(), SQLITE_OPEN_READWRITE | (aForWriting ? SQLITE_OPEN_CREATE : 0));
  try {
    try {
      Setup();
    } catch (const ERegistryException&) {
      // A store in write-ahead mode needs its shared-memory file beside it,
      // which cannot be made on a read-only mount or in another user's
      // folder, nor grown on a full disk. Without a journal holding commits
      // the file alone is the whole store, and is read as it is, so that
      // reading never needs to write.
      const bool cannotWrite =
          sqlite3_db_readonly(FDb, "main") == 1 || (!aForWriting && FFailedOnFullDisk);
      if (!cannotWrite || JournalHoldsCommits()) throw;
      sqlite3_close(FDb);
      FDb = nullptr;
      Open(ImmutableUri(aFile), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
      Setup();
    }
    if (FHasSchema && SchemaVersion() < kSchemaVersion) UpgradeSchema(aForWriting);
    if (aForWriting) PrepareForWriting();
  } catch (...) {
    sqlite3_close(FDb);  // the destructor does not run for a failed constructor
    FDb = nullptr;
    throw;
  }
}

RegistryConnection::~RegistryConnection() { sqlite3_close(FDb); }

void RegistryConnection::Open(const std::string& aName, int aFlags) {
  const int rc = sqlite3_open_v2(aName.c_str(), &FDb, aFlags | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    const std::string what = FDb ? sqlite3_errmsg(FDb) : "out of memory";
    sqlite3_close(FDb);
    FDb = nullptr;
    throw ERegistryException("cannot open the registry store " + FFile.string() + ": " + what);
  }
}

void RegistryConnection::Setup() {
  sqlite3_busy_timeout(FDb, kBusyTimeoutMs);
  Exec("PRAGMA foreign_keys = ON");
  Statement st(*this, FDb, "SELECT count(*) FROM sqlite_master WHERE name = 'regvalues'");
  st.Step();
  FHasSchema = st.Int(0) != 0;
}

bool RegistryConnection::JournalHoldsCommits() const {
  std::error_code ec;
  const auto size = std::filesystem::file_size(FFile.string() + "-wal", ec);
  return !ec && size > 0;
}

std::string RegistryConnection::ImmutableUri(const std::filesystem::path& aFile) {
  // Every byte but the unreserved ones and '/' is percent-encoded, so that
  // '?', '#' and '%' in folder names stay part of the path.
  std::string uri = "file:";
  for (const char ch : aFile.string()) {
    const auto u = static_cast<unsigned char>(ch);
    if (std::isalnum(u) || std::strchr("/-._~", ch)) {
      uri += ch;
    } else {
      uri += '%';
      uri += HexText(&u, 1);
    }
  }
  return uri + "?immutable=1";
}

int RegistryConnection::SchemaVersion() {
  Statement st(*this, FDb, "PRAGMA user_version");
  st.Step();
  return static_cast<int>(st.Int(0));
}

void RegistryConnection::UpgradeSchema(bool aForWriting) {
  if (sqlite3_db_readonly(FDb, "main") == 1) {
    // The file cannot change: this process reads an upgraded copy.
    CopyIntoMemory();
  }
  try {
    UpgradeRows();
  } catch (const ERegistryException&) {
    // Rolled back. On a full disk a reader still reads, from an upgraded
    // copy; a writer could not write anyway.
    if (aForWriting || FInMemory || !FFailedOnFullDisk) throw;
    CopyIntoMemory();
    UpgradeRows();
  }
}

void RegistryConnection::UpgradeRows() {
  Transaction t(*this, true);
  if (SchemaVersion() >= kSchemaVersion) return;  // another process was first
  RefoldNames();
  Exec("PRAGMA user_version = 2");
  t.Commit();
}

void RegistryConnection::CopyIntoMemory() {
  sqlite3* memory = nullptr;
  if (sqlite3_open_v2(":memory:", &memory, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX,
                      nullptr) != SQLITE_OK) {
    sqlite3_close(memory);
    Fail("copy into memory");
  }
  sqlite3_backup* backup = sqlite3_backup_init(memory, "main", FDb, "main");
  const int rc = backup ? sqlite3_backup_step(backup, -1) : SQLITE_ERROR;
  sqlite3_backup_finish(backup);
  if (rc != SQLITE_DONE) {
    sqlite3_close(memory);
    Fail("copy into memory");
  }
  sqlite3_close(FDb);
  FDb = memory;
  FInMemory = true;
  Exec("PRAGMA foreign_keys = ON");
}

// Version 1 folded fewer letters (to lower case) than version 2. Every row
// gets its new folded form; keys whose names now compare equal are merged
// (children and values move to the older key), and a value whose name now
// clashes with an older value's of the same key is kept under "name (2)",
// "name (3)", ...: nothing is dropped.
void RegistryConnection::RefoldNames() {
  // While rows are re-folded one by one, the others carry a blob, which
  // never equals a text, so no step breaks UNIQUE(parent, folded).
  Exec(
      "UPDATE regkeys SET folded = CAST(id AS BLOB) WHERE parent IS NOT NULL;"
      "UPDATE regvalues SET folded = CAST(id AS BLOB);"
      "UPDATE regkeys SET folded = 'HKEY_CLASSES_ROOT' WHERE id = 1;"
      "UPDATE regkeys SET folded = 'HKEY_CURRENT_USER' WHERE id = 2;");
  std::vector<std::int64_t> pending = {1, 2};
  while (!pending.empty()) {
    const std::int64_t key = pending.back();
    pending.pop_back();
    RefoldValues(key);
    for (const auto& [id, name] :
         Rows("SELECT id, name FROM regkeys WHERE parent = ?1 ORDER BY id", key)) {
      const std::string folded = FoldRegistryName(name);
      Statement same(*this, FDb, "SELECT id FROM regkeys WHERE parent = ?1 AND folded = ?2");
      same.Bind(1, key).Bind(2, folded);
      if (same.Step()) {
        const std::int64_t older = same.Int(0);
        Statement(*this, FDb, "UPDATE regkeys SET parent = ?1 WHERE parent = ?2")
            .Bind(1, older)
            .Bind(2, id)
            .Step();
        Statement(*this, FDb, "UPDATE regvalues SET key = ?1 WHERE key = ?2")
            .Bind(1, older)
            .Bind(2, id)
            .Step();
        DeleteKeyId(id);
      } else {
        Statement(*this, FDb, "UPDATE regkeys SET folded = ?1 WHERE id = ?2")
            .Bind(1, folded)
            .Bind(2, id)
            .Step();
        pending.push_back(id);
      }
    }
  }
}

void RegistryConnection::RefoldValues(std::int64_t aKey) {
  for (const auto& [id, name] :
       Rows("SELECT id, name FROM regvalues WHERE key = ?1 ORDER BY id", aKey)) {
    std::string kept = name;
    for (int n = 2;; ++n) {
      Statement same(*this, FDb, "SELECT 1 FROM regvalues WHERE key = ?1 AND folded = ?2");
      same.Bind(1, aKey).Bind(2, FoldRegistryName(kept));
      if (!same.Step()) break;
      kept = name + " (" + std::to_string(n) + ")";
    }
    Statement(*this, FDb, "UPDATE regvalues SET name = ?1, folded = ?2 WHERE id = ?3")
        .Bind(1, kept)
        .Bind(2, FoldRegistryName(kept))
        .Bind(3, id)
        .Step();
  }
}

std::vector<std::pair<std::int64_t, std::string>> RegistryConnection::Rows(const char* aSql,
                                                                           std::int64_t aParam) {
  Statement st(*this, FDb, aSql);
  st.Bind(1, aParam);
  std::vector<std::pair<std::int64_t, std::string>> rows;
  while (st.Step()) rows.emplace_back(st.Int(0), st.Text(1));
  return rows;
}

void RegistryConnection::PrepareForWriting() {
  if (FWritable) return;
  if (FInMemory || sqlite3_db_readonly(FDb, "main") == 1) {
    // A reader that fell back to the file alone because the disk was full.
    if (FFailedOnFullDisk)
      throw ERegistryException("registry store " + FFile.string() + ": " + kDiskFullText);
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
      " (1, NULL, 'HKEY_CLASSES_ROOT', 'HKEY_CLASSES_ROOT'),"
      " (2, NULL, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER');"
      "PRAGMA user_version = 2;");
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
  // The deepest keys go first, so that no delete cascades to a subkey: a
  // cascade per level would stop at SQLite's trigger depth, and a tree of
  // any depth must go.
  std::vector<std::int64_t> ids;
  {
    Statement tree(*this, FDb,
                   "WITH RECURSIVE tree(id, depth) AS (SELECT ?1, 0 UNION ALL"
                   " SELECT regkeys.id, tree.depth + 1 FROM regkeys JOIN tree"
                   " ON regkeys.parent = tree.id)"
                   " SELECT id FROM tree ORDER BY depth DESC");
    tree.Bind(1, anId);
    while (tree.Step()) ids.push_back(tree.Int(0));
  }
  Statement st(*this, FDb, "DELETE FROM regkeys WHERE id = ?1");
  for (const auto id : ids) st.Reset().Bind(1, id).Step();
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

bool RegistryConnection::DiskFullNow() const {
  const int code = sqlite3_extended_errcode(FDb);
  return code == SQLITE_FULL ||
         ((code & 0xFF) == SQLITE_IOERR && IsDiskFullError(sqlite3_system_errno(FDb)));
}

void RegistryConnection::Fail(const std::string& aWhat) const {
  // SQLite calls a full disk "disk I/O error" when the shared-memory file
  // cannot grow; the user is told what to do about it.
  FFailedOnFullDisk = DiskFullNow();
  const std::string why = FFailedOnFullDisk ? kDiskFullText : sqlite3_errmsg(FDb);
  throw ERegistryException("registry store " + FFile.string() + ": " + aWhat + ": " + why);
}

}  // namespace platform
