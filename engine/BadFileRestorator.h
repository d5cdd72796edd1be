#pragma once
// The damaged-file copier: copies a file from a disc in 2048-byte blocks read
// past the file cache, tries each block three times and writes zeros where a
// block stays unreadable, so that the target always reaches the source's full
// length. A callback receives start, progress and end events and can ask to
// skip the file or cancel the whole list.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/FileTree.h"
#include "platform/TargetFile.h"
#include "platform/UnbufferedFile.h"

enum TFileSaveEventType {
  fseStartList,  // SaveFileList, before the first file; size of the whole list
  fseStartFile,  // once the source is open; source file name and size
  fseEndList,    // SaveFileList, always at the end; size of the whole list
  fseEndFile,    // after the copy loop; final size of the target
  fseProgress,   // after a block written (name, bytes) or a failed read (empty, 0)
};

enum TFileSaveCancelMode {
  fscNormal,  // go on / completed
  fscSkip,    // stop this file
  fscCancel,  // stop this file and the rest of the list
  fscError,   // the copy failed
};

// The callback. ACancelMode is the copier's running result: the callback reads
// it and may set fscSkip or fscCancel. An empty function sends no events.
using TFileSaveProc =
    std::function<void(TFileSaveEventType AEvent, const std::filesystem::path& AName,
                       std::int64_t ASize, TFileSaveCancelMode& ACancelMode)>;

// "Cannot create \"%s\" directory" — the target's folder chain could not be made.
class CreateDirectoryException : public std::runtime_error {
 public:
  explicit CreateDirectoryException(const std::filesystem::path& folder, std::string reason = {});
  // The system's reason ("Read-only file system"); empty when none is known.
  const std::string& Reason() const { return FReason; }

 private:
  std::string FReason;
};

// Why a file could not be saved, for logs: the error's text, then the
// system's reason when the error carries one apart.
std::string FailureText(const std::exception& error);

// "Cannot open file \"%s\"." — the source could not be opened.
class OpenFileException : public std::runtime_error {
 public:
  explicit OpenFileException(const std::filesystem::path& file);
};

// A stretch of the target, in bytes: Offset >= 0, Length > 0; a list of them
// is in ascending order, without overlaps (AppendJoined keeps it so).
struct TByteRange {
  std::int64_t Offset = 0;
  std::int64_t Length = 0;
  friend bool operator==(const TByteRange&, const TByteRange&) = default;
};

// Appends a stretch to ordered ranges, joining it to the last when adjacent.
void AppendJoined(std::vector<TByteRange>& ARanges, std::int64_t AOffset, std::int64_t ALength);

// What a copy leaves to tell beyond its result, for logs and damage maps.
struct TFileSaveReport {
  // The target's stretches filled with zeros in place of unreadable blocks,
  // in order, adjacent ones joined.
  std::vector<TByteRange> ZeroRanges;
  // Why the copy ended with fscError, with the system's reason where it gave
  // one ("cannot create \"t\": Read-only file system"); empty otherwise.
  std::string Error;

  // The 2048-byte sectors the zero ranges cover (a partial last one counts).
  std::int64_t UnreadableSectors() const;
  // Adds a zero-filled stretch, joining it to the last when adjacent.
  void AddZeros(std::int64_t offset, std::int64_t length);
};

// The copier's I/O: where sources are opened, targets created, and the
// longest read request. A run is handed one when it is made, so that it does
// not depend on what the process-wide setters hold at the time it reads.
struct TRestoratorIo {
  platform::IUnbufferedOpener* Opener = nullptr;      // nullptr: the system's
  platform::ITargetCreator* TargetCreator = nullptr;  // nullptr: the system's
  int RunSectors = 32;                                // 1..32

  // What the process-wide setters hold now.
  static TRestoratorIo Current();
};

class BadFileRestorator {
 public:
  BadFileRestorator() = delete;

  // Copies ASourceName to ADestName (created or truncated once the source is
  // open), creating the target's folder chain first. Returns fscNormal also
  // when blocks were replaced by zeros; fscError, without an end event, when
  // the source cannot be opened (an existing target stays untouched, none is
  // created), the target is the source itself (nothing truncated), the
  // target cannot be created, a write stores fewer bytes than asked (a full
  // disk), the disc or drive goes away or the source shrinks while read
  // (what was written stays). Throws CreateDirectoryException when the
  // folder chain cannot be created. AReadPath, when given, receives how the
  // source was read (set once the source is open, and again after the copy
  // loop); AReport, when given, the zero-filled stretches and the error.
  static TFileSaveCancelMode SaveFile(const std::filesystem::path& ASourceName,
                                      const std::filesystem::path& ADestName,
                                      const TFileSaveProc& AProc,
                                      platform::ReadPath* AReadPath = nullptr,
                                      TFileSaveReport* AReport = nullptr);
  // The same with the given I/O in place of the process-wide one.
  static TFileSaveCancelMode SaveFile(const std::filesystem::path& ASourceName,
                                      const std::filesystem::path& ADestName,
                                      const TFileSaveProc& AProc, const TRestoratorIo& AIo,
                                      platform::ReadPath* AReadPath = nullptr,
                                      TFileSaveReport* AReport = nullptr);

  // Reads the stretches ARanges of ASourceName again into the existing
  // target ADestName, which must have the source's size; its other bytes
  // stay as they are. Each 2048-byte sector is tried three times alone;
  // what reads is written in place, what does not is left as it was and
  // listed in AReport.ZeroRanges. fscError, with AReport.Error, when the
  // source or target cannot be opened, the sizes differ, the target is the
  // source, a write fails or the disc goes away.
  static TFileSaveCancelMode RetryRanges(const std::filesystem::path& ASourceName,
                                         const std::filesystem::path& ADestName,
                                         const std::vector<TByteRange>& ARanges,
                                         TFileSaveReport& AReport);

  // Copies each entry to ADestPath / its PathNoDrive / its Name, in order,
  // until one is cancelled; returns the last file's result (fscNormal for an
  // empty list). fseEndList is sent also when an error leaves SaveFile.
  static TFileSaveCancelMode SaveFileList(const TCustomFileList& AList,
                                          const std::filesystem::path& ADestPath,
                                          const TFileSaveProc& AProc);

  // One read attempt of a block at the current position. On failure the
  // buffer is zeros and AReadSize 0.
  static bool TryToReadFile(platform::IUnbufferedFile& AHandle, platform::AlignedSector& ABuffer,
                            std::uint32_t& AReadSize);

  // One skip step past an unreadable block: APos (0 = the current position)
  // grows by one block and the file is positioned there. True when the
  // position now reported equals APos (all 64 bits).
  static bool TryToMoveFile(platform::IUnbufferedFile& AHandle, std::int64_t& APos);

  // Where sources are opened and targets created; the system's by default.
  // Tests put fault injectors here. Passing nullptr restores the default.
  static void SetOpener(platform::IUnbufferedOpener* AOpener);
  static void SetTargetCreator(platform::ITargetCreator* ACreator);
  static platform::IUnbufferedOpener& Opener();
  static platform::ITargetCreator& TargetCreator();

  // The longest read request in sectors (1..32); 32 by default. 1 reads
  // sector by sector, one request per block.
  static void SetRunSectors(int ASectors);
  static int RunSectors();

  static constexpr std::uint32_t BlockSize = 2048;
  static constexpr int ReadAttempts = 3;
};

// Puts an opener (and optionally a target creator) in place for a scope.
class ScopedRestoratorIo {
 public:
  explicit ScopedRestoratorIo(platform::IUnbufferedOpener* AOpener,
                              platform::ITargetCreator* ACreator = nullptr);
  ~ScopedRestoratorIo();
  ScopedRestoratorIo(const ScopedRestoratorIo&) = delete;
  ScopedRestoratorIo& operator=(const ScopedRestoratorIo&) = delete;

 private:
  platform::IUnbufferedOpener* FOldOpener;
  platform::ITargetCreator* FOldCreator;
};

// Sets the run length for a scope (tests, or a copy of a drive that stalls
// on long requests).
class ScopedRunSectors {
 public:
  explicit ScopedRunSectors(int ASectors) : FOld(BadFileRestorator::RunSectors()) {
    BadFileRestorator::SetRunSectors(ASectors);
  }
  ~ScopedRunSectors() { BadFileRestorator::SetRunSectors(FOld); }
  ScopedRunSectors(const ScopedRunSectors&) = delete;
  ScopedRunSectors& operator=(const ScopedRunSectors&) = delete;

 private:
  int FOld;
};
