#pragma once
// A source read in runs of sectors where the disc reads well, seen by the
// copier as the sector-by-sector file it expects.
//
// One request per 2048-byte sector costs a drive one command each: 25 to 30
// times slower than 64 KiB requests on a healthy disc. So the copier's loop
// reads through this file, which serves its single-block reads from one run
// request of up to 32 sectors (aligned, never across an extent). The loop
// keeps its events, skips and cancels exactly as with single reads. Where a
// run fails, its sectors are read one at a time; for a sector that then
// fails alone the failed run counts as its first attempt, so an unreadable
// sector still costs the drive exactly three reads and a good one at most
// two. Damage comes in clusters: after a failure the file stays with single
// sectors for a while, then doubles the run length back to the full run.

#include <cstdint>
#include <memory>

#include "platform/UnbufferedFile.h"

class TSectorRunFile final : public platform::IUnbufferedFile {
 public:
  // maxRunSectors 1 reads sector by sector, as a file without runs.
  TSectorRunFile(platform::IUnbufferedFile& source, int maxRunSectors);

  std::int64_t Size() const override { return FSource.Size(); }
  std::int64_t Position() const override { return FPosition; }
  bool Seek(std::int64_t position) override;
  // One attempt at the block at Position(), as the source's Read would be.
  std::int64_t Read(std::byte* buffer, std::size_t count) override;
  platform::ReadPath Path() const override { return FSource.Path(); }
  platform::ReadError LastError() const override { return FLastError; }
  std::optional<platform::FileId> Id() const override { return FSource.Id(); }

  // Sectors read singly after a failure before runs grow again.
  static constexpr int SinglesAfterFailure = 32;

 private:
  std::int64_t ReadSingle(std::byte* buffer, std::size_t count);
  std::int64_t ReadNewRun(std::byte* buffer, std::size_t count);
  std::int64_t ServeFromRun(std::byte* buffer, std::size_t count);
  std::int64_t Fail(platform::ReadError error);
  void NoteFailure();
  bool PlaceSource();

  platform::IUnbufferedFile& FSource;
  const int FMaxRun;
  std::int64_t FPosition = 0;
  platform::ReadError FLastError = platform::ReadError::Medium;
  std::unique_ptr<platform::AlignedRun> FRun;     // the bytes of the last run read
  std::int64_t FRunStart = 0, FRunEnd = 0;        // [start, end) held in FRun
  std::int64_t FFailedStart = 0, FFailedEnd = 0;  // the last run that failed
  std::int64_t FCreditedAt = -1;  // the sector whose first attempt the failed run was
  bool FBanked = false;           // a failed attempt made but not yet reported
  int FRunSectors;                // the length of the next run
  int FSinglesLeft = 0;           // single reads still to come before runs grow
};
