#include "engine/SectorRunFile.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr auto kSector = static_cast<std::int64_t>(platform::SectorSize);
constexpr auto kRun = static_cast<std::int64_t>(platform::RunSize);
}  // namespace

TSectorRunFile::TSectorRunFile(platform::IUnbufferedFile& source, int maxRunSectors)
    : FSource(source),
      FMaxRun(std::clamp(maxRunSectors, 1, static_cast<int>(source.MaxRunSize() / kSector))),
      FPosition(source.Position()),
      FRunSectors(FMaxRun) {
  if (FMaxRun > 1) FRun = std::make_unique<platform::AlignedRun>();
}

bool TSectorRunFile::Seek(std::int64_t position) {
  if (!FSource.Seek(position)) return false;
  FPosition = position;
  return true;
}

std::int64_t TSectorRunFile::Read(std::byte* buffer, std::size_t count) {
  count = std::min(count, platform::SectorSize);
  if (FBanked) {
    // The second failed attempt of a sector was made with its first single
    // read, right after the failed run; report it without reading again.
    FBanked = false;
    return Fail(platform::ReadError::Medium);
  }
  if (FPosition >= FRunStart && FPosition < FRunEnd && FPosition % kSector == 0)
    return ServeFromRun(buffer, count);
  const bool inFailedRun = FPosition >= FFailedStart && FPosition < FFailedEnd;
  if (FRunSectors > 1 && !inFailedRun && FPosition % kSector == 0 && FPosition < Size())
    return ReadNewRun(buffer, count);
  return ReadSingle(buffer, count);
}

// The source's position follows the copier's only when a read needs it.
bool TSectorRunFile::PlaceSource() {
  return FSource.Position() == FPosition || FSource.Seek(FPosition);
}

std::int64_t TSectorRunFile::ReadSingle(std::byte* buffer, std::size_t count) {
  if (!PlaceSource()) return Fail(platform::ReadError::Medium);
  const std::int64_t got = FSource.Read(buffer, count);
  if (got < 0) {
    const auto error = FSource.LastError();
    if (error == platform::ReadError::Medium && FPosition >= FFailedStart &&
        FPosition < FFailedEnd && FCreditedAt != FPosition) {
      FCreditedAt = FPosition;  // the failed run was this sector's first attempt
      FBanked = true;
    }
    NoteFailure();
    return Fail(error);
  }
  FPosition += got;
  if (FSinglesLeft > 0) --FSinglesLeft;
  if (FSinglesLeft == 0 && FRunSectors < FMaxRun) FRunSectors = std::min(FRunSectors * 2, FMaxRun);
  return got;
}

std::int64_t TSectorRunFile::ReadNewRun(std::byte* buffer, std::size_t count) {
  // Aligned on the run size, so that healthy stretches are read in whole
  // 64 KiB requests, and within the source's contiguous stretch.
  const std::int64_t alignedEnd = (FPosition / kRun + 1) * kRun;
  const std::int64_t left = std::min(Size(), alignedEnd) - FPosition;
  const std::int64_t end =
      FPosition + std::min({FRunSectors * kSector, left, FSource.ContiguousFrom(FPosition)});
  if (end - FPosition <= kSector) return ReadSingle(buffer, count);
  if (!PlaceSource()) return Fail(platform::ReadError::Medium);
  const std::int64_t got = FSource.ReadRun(FRun->bytes, static_cast<std::size_t>(end - FPosition));
  if (got > 0) {
    FRunStart = FPosition;
    FRunEnd = FPosition + got;
    if (FRunEnd < end) {
      // A short read stopped at a sector the drive could not read: the run
      // was that sector's first attempt, and the rest is read singly.
      FFailedStart = FRunEnd;
      FFailedEnd = end;
      NoteFailure();
    } else if (FRunSectors < FMaxRun) {
      FRunSectors = std::min(FRunSectors * 2, FMaxRun);
    }
    return ServeFromRun(buffer, count);
  }
  if (got == 0) return 0;
  if (FSource.LastError() != platform::ReadError::Medium) return Fail(FSource.LastError());
  FFailedStart = FPosition;
  FFailedEnd = end;
  NoteFailure();
  return ReadSingle(buffer, count);
}

std::int64_t TSectorRunFile::ServeFromRun(std::byte* buffer, std::size_t count) {
  const auto n = std::min<std::int64_t>(static_cast<std::int64_t>(count), FRunEnd - FPosition);
  std::memcpy(buffer, FRun->bytes + (FPosition - FRunStart), static_cast<std::size_t>(n));
  FPosition += n;
  return n;
}

void TSectorRunFile::NoteFailure() {
  FRunSectors = 1;
  FSinglesLeft = SinglesAfterFailure;
}

std::int64_t TSectorRunFile::Fail(platform::ReadError error) {
  FLastError = error;
  return -1;
}
