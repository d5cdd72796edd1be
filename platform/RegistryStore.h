#pragma once
// The per-user registry: keys holding typed values below two roots
// (HKEY_CURRENT_USER, HKEY_CLASSES_ROOT). TRegistry is the accessor, shaped
// like the Windows toolkits' registry class: set a root, open a key, read and
// write its values. On Linux the store is one SQLite database per user,
// "$XDG_CONFIG_HOME/Velmora Free/registry.sqlite3".
//
// Registry rules kept here: key paths and value names compare without regard
// to case; a key exists with or without values, and creating one creates its
// missing parents; values enumerate in the order they were created; every
// write is one transaction, so the launcher and the main program can use the
// store at the same time and a crash never leaves a half-written value.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {

// The predefined roots, numbered as the Windows registry numbers them.
enum HKEY : std::uint32_t {
  HKEY_CLASSES_ROOT = 0x80000000u,
  HKEY_CURRENT_USER = 0x80000001u,
};

// The value kinds as the registry numbers them; other numbers may occur.
inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr std::uint32_t REG_MULTI_SZ = 7;
inline constexpr std::uint32_t REG_QWORD = 11;

// A value's kind as the accessor sees it; rdUnknown for other kinds (and for
// an absent value).
enum TRegDataType : std::uint8_t { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

// Rights asked for when opening keys. Read-only accessors never create
// anything, not even the store file.
enum TRegAccess : std::uint8_t { raRead, raWrite, raFull };

// Any failure of the store: a value of the wrong kind, a write through a
// read-only accessor, a store that cannot be opened or is damaged.
class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT"; "" for another number.
std::string RootKeyName(HKEY aRoot);
// "REG_SZ", "REG_DWORD", ...; "REG_0x<hex>" for a number without a name.
std::string RegTypeName(std::uint32_t aType);

// Whether two key or value names are the same name to the registry.
bool SameRegistryName(const std::string& a, const std::string& b);

// The store file of the current user ($XDG_CONFIG_HOME, else ~/.config).
std::filesystem::path RegistryStorePath();

class RegistryConnection;  // the open store, private to the implementation
struct StoredValue;        // a value's kind and data as the store keeps them

// One accessor: a root, at most one open key (its path kept as text, so that
// another process may change the store between two calls), and the store
// connection, opened on first use and closed with the accessor.
class TRegistry {
 public:
  explicit TRegistry(TRegAccess anAccess = raFull);
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const { return FRootKey; }
  void SetRootKey(HKEY aRoot);  // closes the open key; throws for an unknown root
  TRegAccess Access() const { return FAccess; }

  // The open key's path below the root, spelled as stored ("" = the root itself).
  const std::string& CurrentPath() const { return FCurrentPath; }
  bool HasCurrentKey() const { return FHasCurrentKey; }

  // Paths use "\" between names. A path beginning with "\" starts at the root,
  // any other path below the open key (at the root when none is open).
  // OpenKey: false when the key is missing (and not created) or the path is
  // malformed; throws when the store fails.
  bool OpenKey(const std::string& aKey, bool aCanCreate);
  bool OpenKeyReadOnly(const std::string& aKey) { return OpenKey(aKey, false); }
  void CloseKey();
  bool KeyExists(const std::string& aKey);
  bool CreateKey(const std::string& aKey);
  // Deletes the key with all its subkeys and values; false when it is missing.
  bool DeleteKey(const std::string& aKey);

  // Operations on the values of the open key (the root when none is open).
  bool ValueExists(const std::string& aName);
  TRegDataType GetDataType(const std::string& aName);  // rdUnknown when absent
  // The raw kind number; false when the value is absent.
  bool GetDataKind(const std::string& aName, std::uint32_t& aKind);
  std::vector<std::string> GetValueNames();  // in the order of creation
  std::vector<std::string> GetKeyNames();    // subkeys, ordered by name
  bool HasSubKeys();

  // Reads throw when the value is absent or of another kind.
  std::string ReadString(const std::string& aName);    // REG_SZ or REG_EXPAND_SZ, cut at a zero
  std::int32_t ReadInteger(const std::string& aName);  // REG_DWORD
  bool ReadBool(const std::string& aName) { return ReadInteger(aName) != 0; }
  // REG_BINARY and kinds without a name of their own.
  std::vector<std::uint8_t> ReadBinaryData(const std::string& aName);
  // The stored bytes of any kind (strings as UTF-8, integers as 4 bytes LE).
  std::vector<std::uint8_t> ReadRawData(const std::string& aName);

  // Writes replace a value of any kind and keep its place in the order.
  void WriteString(const std::string& aName, const std::string& aValue);
  void WriteExpandString(const std::string& aName, const std::string& aValue);
  void WriteInteger(const std::string& aName, std::int32_t aValue);
  void WriteBool(const std::string& aName, bool aValue) { WriteInteger(aName, aValue ? 1 : 0); }
  void WriteBinaryData(const std::string& aName, const std::vector<std::uint8_t>& aData);
  void WriteRawData(const std::string& aName, std::uint32_t aKind,
                    const std::vector<std::uint8_t>& aData);
  bool DeleteValue(const std::string& aName);  // false when absent

 private:
  RegistryConnection* Connection(bool aForWriting);  // nullptr: no store to read
  std::string Resolve(const std::string& aKey) const;
  void RequireWrite() const;
  void WriteValue(const std::string& aName, const StoredValue& aValue);

  TRegAccess FAccess;
  HKEY FRootKey = HKEY_CURRENT_USER;
  std::string FCurrentPath;
  bool FHasCurrentKey = false;
  std::unique_ptr<RegistryConnection> FConnection;
};

}  // namespace platform
