// TRegistry over the SQLite store: key paths, the open key, typed values.

#include "platform/RegistryStore.h"

#include <cstdio>
#include <optional>

#include "platform/RegistrySqlite.h"

namespace platform {

namespace {

using Transaction = RegistryConnection::Transaction;

// The names of a key path; std::nullopt when a name is empty ("a\\b").
// One trailing "\" is allowed, as the Windows registry allows it.
std::optional<std::vector<std::string>> SplitKeyPath(const std::string& aPath) {
  std::vector<std::string> names;
  if (aPath.empty()) return names;
  std::string path = aPath;
  if (path.back() == '\\') path.pop_back();
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = path.find('\\', start);
    std::string name =
        path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (name.empty()) return std::nullopt;
    names.push_back(std::move(name));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return names;
}

std::string JoinKeyPath(const std::vector<std::string>& aNames) {
  std::string path;
  for (const auto& name : aNames) {
    if (!path.empty()) path += '\\';
    path += name;
  }
  return path;
}

// The key's id and its path as stored; std::nullopt when it is missing.
std::optional<std::int64_t> FindKey(RegistryConnection& aConnection, HKEY aRoot,
                                    const std::vector<std::string>& aNames,
                                    std::string* aStoredPath) {
  std::int64_t id = RegistryConnection::RootId(aRoot);
  std::vector<std::string> stored;
  for (const auto& name : aNames) {
    std::string storedName;
    const auto child = aConnection.FindChild(id, name, &storedName);
    if (!child) return std::nullopt;
    id = *child;
    stored.push_back(std::move(storedName));
  }
  if (aStoredPath) *aStoredPath = JoinKeyPath(stored);
  return id;
}

// Creates the missing keys on the way; returns the last one's id.
std::int64_t CreateKeyPath(RegistryConnection& aConnection, HKEY aRoot,
                           const std::vector<std::string>& aNames, std::string* aStoredPath) {
  std::int64_t id = RegistryConnection::RootId(aRoot);
  std::vector<std::string> stored;
  for (const auto& name : aNames) {
    std::string storedName = name;
    const auto child = aConnection.FindChild(id, name, &storedName);
    id = child ? *child : aConnection.CreateChild(id, name);
    stored.push_back(std::move(storedName));
  }
  if (aStoredPath) *aStoredPath = JoinKeyPath(stored);
  return id;
}

std::vector<std::uint8_t> BytesOf(const StoredValue& aValue) {
  switch (aValue.storage) {
    case SQLITE_TEXT:
      return std::vector<std::uint8_t>(aValue.text.begin(), aValue.text.end());
    case SQLITE_INTEGER: {
      const auto v = static_cast<std::uint32_t>(aValue.integer);
      return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
              static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    }
    default:
      return aValue.bytes;
  }
}

TRegDataType DataTypeOf(std::uint32_t aKind) {
  switch (aKind) {
    case REG_SZ:
      return rdString;
    case REG_EXPAND_SZ:
      return rdExpandString;
    case REG_DWORD:
      return rdInteger;
    case REG_BINARY:
      return rdBinary;
    default:
      return rdUnknown;
  }
}

}  // namespace

std::string RootKeyName(HKEY aRoot) {
  switch (aRoot) {
    case HKEY_CLASSES_ROOT:
      return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER:
      return "HKEY_CURRENT_USER";
  }
  return "";
}

std::string RegTypeName(std::uint32_t aType) {
  switch (aType) {
    case REG_NONE:
      return "REG_NONE";
    case REG_SZ:
      return "REG_SZ";
    case REG_EXPAND_SZ:
      return "REG_EXPAND_SZ";
    case REG_BINARY:
      return "REG_BINARY";
    case REG_DWORD:
      return "REG_DWORD";
    case REG_MULTI_SZ:
      return "REG_MULTI_SZ";
    case REG_QWORD:
      return "REG_QWORD";
  }
  char buf[24];
  std::snprintf(buf, sizeof buf, "REG_0x%X", aType);
  return buf;
}

TRegistry::TRegistry(TRegAccess anAccess) : FAccess(anAccess) {}

TRegistry::~TRegistry() = default;

void TRegistry::SetRootKey(HKEY aRoot) {
  RegistryConnection::RootId(aRoot);  // throws for a root the store does not hold
  CloseKey();
  FRootKey = aRoot;
}

RegistryConnection* TRegistry::Connection(bool aForWriting) {
  if (!FConnection) {
    const auto file = RegistryStorePath();
    // Reading a store that was never written reads as an empty registry and
    // must not leave a file behind.
    if (!aForWriting && !std::filesystem::exists(file)) return nullptr;
    FConnection = std::make_unique<RegistryConnection>(file, aForWriting);
  } else if (aForWriting) {
    FConnection->PrepareForWriting();
  }
  return FConnection->HasSchema() ? FConnection.get() : nullptr;
}

std::string TRegistry::Resolve(const std::string& aKey) const {
  if (!aKey.empty() && aKey.front() == '\\') return aKey.substr(1);
  if (FHasCurrentKey && !FCurrentPath.empty()) {
    return aKey.empty() ? FCurrentPath : FCurrentPath + '\\' + aKey;
  }
  return aKey;
}

void TRegistry::RequireWrite() const {
  if (FAccess == raRead) throw ERegistryException("the registry key is open for reading only");
}

bool TRegistry::OpenKey(const std::string& aKey, bool aCanCreate) {
  const auto names = SplitKeyPath(Resolve(aKey));
  if (!names) return false;
  std::string stored;
  if (aCanCreate) {
    RequireWrite();
    auto* connection = Connection(true);
    Transaction t(*connection, true);
    CreateKeyPath(*connection, FRootKey, *names, &stored);
    t.Commit();
  } else {
    auto* connection = Connection(false);
    if (!connection) return false;
    Transaction t(*connection, false);
    if (!FindKey(*connection, FRootKey, *names, &stored)) return false;
    t.Commit();
  }
  FCurrentPath = stored;
  FHasCurrentKey = true;
  return true;
}

void TRegistry::CloseKey() {
  FCurrentPath.clear();
  FHasCurrentKey = false;
}

bool TRegistry::KeyExists(const std::string& aKey) {
  const auto names = SplitKeyPath(Resolve(aKey));
  if (!names) return false;
  auto* connection = Connection(false);
  if (!connection) return false;
  Transaction t(*connection, false);
  const bool found = FindKey(*connection, FRootKey, *names, nullptr).has_value();
  t.Commit();
  return found;
}

bool TRegistry::CreateKey(const std::string& aKey) {
  const auto names = SplitKeyPath(Resolve(aKey));
  if (!names) return false;
  RequireWrite();
  auto* connection = Connection(true);
  Transaction t(*connection, true);
  CreateKeyPath(*connection, FRootKey, *names, nullptr);
  t.Commit();
  return true;
}

bool TRegistry::DeleteKey(const std::string& aKey) {
  const auto names = SplitKeyPath(Resolve(aKey));
  if (!names || names->empty()) return false;  // a root cannot be deleted
  RequireWrite();
  auto* connection = Connection(false);
  if (!connection) return false;
  connection = Connection(true);
  Transaction t(*connection, true);
  const auto id = FindKey(*connection, FRootKey, *names, nullptr);
  if (!id) return false;
  connection->DeleteKeyId(*id);
  t.Commit();
  return true;
}

namespace {

// The open key's id inside a transaction; throws when another process
// deleted it since it was opened.
std::int64_t CurrentKeyId(RegistryConnection& aConnection, HKEY aRoot, const std::string& aPath) {
  const auto names = SplitKeyPath(aPath);
  const auto id = names ? FindKey(aConnection, aRoot, *names, nullptr) : std::nullopt;
  if (!id) throw ERegistryException("the registry key " + aPath + " no longer exists");
  return *id;
}

std::optional<StoredValue> ReadStored(RegistryConnection* aConnection, HKEY aRoot,
                                      const std::string& aPath, const std::string& aName) {
  if (!aConnection) return std::nullopt;
  Transaction t(*aConnection, false);
  auto value = aConnection->ReadValue(CurrentKeyId(*aConnection, aRoot, aPath), aName);
  t.Commit();
  return value;
}

StoredValue Require(std::optional<StoredValue> aValue, const std::string& aName) {
  if (!aValue) throw ERegistryException("the registry value \"" + aName + "\" does not exist");
  return std::move(*aValue);
}

[[noreturn]] void WrongKind(const std::string& aName) {
  throw ERegistryException("invalid data type for \"" + aName + "\"");
}

}  // namespace

bool TRegistry::ValueExists(const std::string& aName) {
  return ReadStored(Connection(false), FRootKey, FCurrentPath, aName).has_value();
}

TRegDataType TRegistry::GetDataType(const std::string& aName) {
  const auto value = ReadStored(Connection(false), FRootKey, FCurrentPath, aName);
  return value ? DataTypeOf(value->kind) : rdUnknown;
}

bool TRegistry::GetDataKind(const std::string& aName, std::uint32_t& aKind) {
  const auto value = ReadStored(Connection(false), FRootKey, FCurrentPath, aName);
  if (value) aKind = value->kind;
  return value.has_value();
}

std::vector<std::string> TRegistry::GetValueNames() {
  auto* connection = Connection(false);
  if (!connection) return {};
  Transaction t(*connection, false);
  auto names = connection->ValueNames(CurrentKeyId(*connection, FRootKey, FCurrentPath));
  t.Commit();
  return names;
}

std::vector<std::string> TRegistry::GetKeyNames() {
  auto* connection = Connection(false);
  if (!connection) return {};
  Transaction t(*connection, false);
  auto names = connection->ChildNames(CurrentKeyId(*connection, FRootKey, FCurrentPath));
  t.Commit();
  return names;
}

bool TRegistry::HasSubKeys() { return !GetKeyNames().empty(); }

std::string TRegistry::ReadString(const std::string& aName) {
  const auto value = Require(ReadStored(Connection(false), FRootKey, FCurrentPath, aName), aName);
  if (value.kind != REG_SZ && value.kind != REG_EXPAND_SZ) WrongKind(aName);
  const auto bytes = BytesOf(value);
  std::string text(bytes.begin(), bytes.end());
  if (const auto zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
  return text;
}

std::int32_t TRegistry::ReadInteger(const std::string& aName) {
  const auto value = Require(ReadStored(Connection(false), FRootKey, FCurrentPath, aName), aName);
  if (value.kind != REG_DWORD) WrongKind(aName);
  const auto bytes = BytesOf(value);
  if (bytes.size() != 4) WrongKind(aName);
  const std::uint32_t v =
      bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
  return static_cast<std::int32_t>(v);
}

std::vector<std::uint8_t> TRegistry::ReadBinaryData(const std::string& aName) {
  const auto value = Require(ReadStored(Connection(false), FRootKey, FCurrentPath, aName), aName);
  if (DataTypeOf(value.kind) != rdBinary && DataTypeOf(value.kind) != rdUnknown) WrongKind(aName);
  return BytesOf(value);
}

std::vector<std::uint8_t> TRegistry::ReadRawData(const std::string& aName) {
  return BytesOf(Require(ReadStored(Connection(false), FRootKey, FCurrentPath, aName), aName));
}

void TRegistry::WriteValue(const std::string& aName, const StoredValue& aValue) {
  RequireWrite();
  auto* connection = Connection(true);
  Transaction t(*connection, true);
  connection->WriteValue(CurrentKeyId(*connection, FRootKey, FCurrentPath), aName, aValue);
  t.Commit();
}

void TRegistry::WriteString(const std::string& aName, const std::string& aValue) {
  StoredValue v;
  v.kind = REG_SZ;
  v.storage = SQLITE_TEXT;
  v.text = aValue;
  WriteValue(aName, v);
}

void TRegistry::WriteExpandString(const std::string& aName, const std::string& aValue) {
  StoredValue v;
  v.kind = REG_EXPAND_SZ;
  v.storage = SQLITE_TEXT;
  v.text = aValue;
  WriteValue(aName, v);
}

void TRegistry::WriteInteger(const std::string& aName, std::int32_t aValue) {
  StoredValue v;
  v.kind = REG_DWORD;
  v.storage = SQLITE_INTEGER;
  v.integer = static_cast<std::uint32_t>(aValue);  // kept as the unsigned DWORD
  WriteValue(aName, v);
}

void TRegistry::WriteBinaryData(const std::string& aName, const std::vector<std::uint8_t>& aData) {
  WriteRawData(aName, REG_BINARY, aData);
}

void TRegistry::WriteRawData(const std::string& aName, std::uint32_t aKind,
                             const std::vector<std::uint8_t>& aData) {
  StoredValue v;
  v.kind = aKind;
  v.storage = SQLITE_BLOB;
  v.bytes = aData;
  WriteValue(aName, v);
}

bool TRegistry::DeleteValue(const std::string& aName) {
  RequireWrite();
  if (!Connection(false)) return false;
  auto* connection = Connection(true);
  Transaction t(*connection, true);
  const bool deleted =
      connection->DeleteValue(CurrentKeyId(*connection, FRootKey, FCurrentPath), aName);
  t.Commit();
  return deleted;
}

}  // namespace platform
