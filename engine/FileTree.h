#pragma once
// The model of a scanned disc: entries (TCustomFile), folders that own their
// children (TCustomDir) and flat lists that only refer to entries
// (TCustomFileList).
//
// Ownership: a folder owns its children and deletes them in Clear and in its
// destructor. An entry created with a parent belongs to that parent; a
// detached entry (no parent, or one taken out with Delete) belongs to whoever
// holds it. Deleting an entry first detaches it from its parent.
//
// Names and paths are std::filesystem::path in the platform's native form,
// so that every name on a disc survives whatever its encoding.

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "platform/DirectoryList.h"

class TCustomDir;

// "Parameter has incorrect type." — a null entry given to TCustomDir::Add.
class IncorrectParameterException : public std::invalid_argument {
 public:
  IncorrectParameterException();
};

// "List index out of bounds (%d)" — an index outside 0..Count-1.
class ListIndexException : public std::out_of_range {
 public:
  explicit ListIndexException(std::int32_t index);
};

// Attribute bits, FAT/Windows values. Only faDirectory and faVolumeId are
// interpreted: the scan enters folders, and faVolumeId marks a drive's root.
inline constexpr std::uint8_t faReadOnly = 0x01;
inline constexpr std::uint8_t faHidden = 0x02;
inline constexpr std::uint8_t faSysFile = 0x04;
inline constexpr std::uint8_t faVolumeId = 0x08;
inline constexpr std::uint8_t faDirectory = 0x10;
inline constexpr std::uint8_t faArchive = 0x20;

class TCustomFile {
 public:
  // Appends the new entry to ADir's children when ADir is set.
  explicit TCustomFile(TCustomDir* ADir = nullptr);
  virtual ~TCustomFile();
  TCustomFile(const TCustomFile&) = delete;
  TCustomFile& operator=(const TCustomFile&) = delete;

  const std::filesystem::path& Name() const { return FName; }
  void SetName(const std::filesystem::path& AName) { FName = AName; }
  std::uint8_t Attr() const { return FAttr; }
  void SetAttr(std::uint8_t AAttr) { FAttr = AAttr; }
  std::int64_t Size() const { return FSize; }
  // Corrects the parent's size (one level only).
  void SetSize(std::int64_t ASize);
  TCustomDir* Dir() const { return FDir; }
  // Moves the entry to the end of AValue's children (or detaches it).
  void SetDir(TCustomDir* AValue);

  std::int32_t Level() const;
  // The parent chain with the drive root's name ("/media/alice/DISC/a").
  std::filesystem::path Path() const;
  // The parent chain below a drive root (Attr faVolumeId) ("a").
  std::filesystem::path PathNoDrive() const;
  // Path, a delimiter, Name.
  std::filesystem::path FullName() const;

  // Name, the low eight attribute bits and the size (through SetSize).
  void LoadFromRec(const platform::DirectoryEntry& ARec);

 protected:
  void Init();

 private:
  friend class TCustomDir;
  std::filesystem::path BuildPath(bool AIncludeDrive) const;

  std::filesystem::path FName;
  std::uint8_t FAttr = 0;
  std::int64_t FSize = 0;  // a folder: its own recorded size + direct children's sizes
  TCustomDir* FDir = nullptr;
};

class TCustomDir : public TCustomFile {
 public:
  explicit TCustomDir(TCustomDir* ADir = nullptr);
  ~TCustomDir() override;

  // Takes AFile from its current parent and appends it here; throws
  // IncorrectParameterException for nullptr.
  void Add(TCustomFile* AFile);
  // Detaches AFile when it is a child of this folder, without deleting it;
  // the caller owns it afterwards. Anything else is ignored.
  void Delete(TCustomFile* AFile);
  // Deletes every child (and so the whole subtree).
  void Clear();
  TCustomFile* GetFiles(std::int32_t i) const;
  TCustomFile* Files(std::int32_t i) const { return GetFiles(i); }
  std::int32_t Count() const { return static_cast<std::int32_t>(FFiles.size()); }

  // Adds the subfolders of the folder APath as children, recursively, and with
  // AWithFiles also the plain files at every level: first the subfolders in
  // enumeration order, then the files. Folders whose name begins with "." and
  // links to folders are never entered; a folder that cannot be listed stays
  // childless. Only adds: clearing before a new scan is the caller's step.
  void Scan(const std::filesystem::path& APath, bool AWithFiles);
  void Scan(const std::filesystem::path& APath, bool AWithFiles,
            platform::IDirectoryEnumerator& AEnumerator);
  // Adds the plain files of the folder APath.
  void ScanFiles(const std::filesystem::path& APath);
  void ScanFiles(const std::filesystem::path& APath, platform::IDirectoryEnumerator& AEnumerator);

 private:
  friend class TCustomFile;
  std::vector<TCustomFile*> FFiles;  // owned
};

// A flat list of entries it does not own; they must outlive the list.
class TCustomFileList {
 public:
  TCustomFileList() = default;
  TCustomFileList(const TCustomFileList&) = delete;
  TCustomFileList& operator=(const TCustomFileList&) = delete;

  void Add(TCustomFile* AFile) { FFiles.push_back(AFile); }  // duplicates allowed
  void Delete(TCustomFile* AFile);                           // first occurrence
  void Clear() { FFiles.clear(); }
  TCustomFile* GetFiles(std::int32_t i) const;
  TCustomFile* Files(std::int32_t i) const { return GetFiles(i); }
  std::int32_t Count() const { return static_cast<std::int32_t>(FFiles.size()); }
  std::int64_t Size() const;  // sum over the listed entries, duplicates counted

 private:
  std::vector<TCustomFile*> FFiles;  // not owned
};
