#include "engine/BadFileRestorator.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "engine/SectorRunFile.h"
#include "platform/Files.h"

namespace {

platform::IUnbufferedOpener* gOpener = nullptr;      // nullptr: the system's
platform::ITargetCreator* gTargetCreator = nullptr;  // nullptr: the system's
int gRunSectors = static_cast<int>(platform::RunSize / platform::SectorSize);

// A failure inside the copy loop; SaveFile turns it into fscError.
class CopyError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Everything up to and including the last delimiter; empty without one.
std::filesystem::path FolderPart(const std::filesystem::path& name) {
  const auto& text = name.native();
  const auto pos = text.rfind(platform::PathDelimiter);
  if (pos == std::filesystem::path::string_type::npos) return {};
  return text.substr(0, pos + 1);
}

void Send(const TFileSaveProc& proc, TFileSaveEventType event, const std::filesystem::path& name,
          std::int64_t size, TFileSaveCancelMode& result) {
  if (proc) proc(event, name, size, result);
}

bool StopRequested(TFileSaveCancelMode result) { return result == fscSkip || result == fscCancel; }

// "cannot write the target file", with the system's reason when it gave one.
[[noreturn]] void ThrowWriteError(const platform::ITargetFile& target) {
  const std::string reason = target.LastErrorText();
  throw CopyError("cannot write the target file" + (reason.empty() ? "" : ": " + reason));
}

void WriteAll(platform::ITargetFile& target, const std::byte* data, std::uint32_t count) {
  // A short write (a full disk) ends the copy: the loop's end depends on the
  // target growing, so carrying on would never finish.
  if (target.Write(data, count) != static_cast<std::int64_t>(count)) ThrowWriteError(target);
}

// A read that failed because the disc, drive or file went away: further
// attempts cannot succeed, so the copy ends at once.
void ThrowUnlessMediumError(const platform::IUnbufferedFile& source) {
  const auto error = source.LastError();
  if (error != platform::ReadError::Medium) throw CopyError(platform::ReadErrorText(error));
}

// Opens the source, refusing a target that is the source itself.
std::unique_ptr<platform::IUnbufferedFile> OpenSourceFor(const std::filesystem::path& sourceName,
                                                         const std::filesystem::path& targetName) {
  std::string error;
  auto source = BadFileRestorator::Opener().Open(sourceName, error);
  if (!source) throw CopyError(std::string(OpenFileException(sourceName).what()) + " " + error);
  const auto sourceId = source->Id();
  if (sourceId && platform::FileIdOf(targetName) == sourceId)
    throw CopyError("the target \"" + targetName.string() + "\" is the source file itself");
  return source;
}

// One sector alone, up to three attempts; false when it stays unreadable.
bool ReadSectorAt(platform::IUnbufferedFile& source, std::int64_t pos, std::uint32_t count,
                  platform::AlignedSector& buffer) {
  for (int attempt = 0; attempt < BadFileRestorator::ReadAttempts; ++attempt) {
    if (!source.Seek(pos)) return false;
    const auto got = source.Read(buffer.bytes, count);
    if (got == static_cast<std::int64_t>(count)) return true;
    if (got < 0) ThrowUnlessMediumError(source);
  }
  return false;
}

// The copy loop once both files are open.
void CopyBlocks(platform::IUnbufferedFile& source, platform::ITargetFile& target,
                const std::filesystem::path& sourceName, std::int64_t sourceSize,
                const TFileSaveProc& proc, TFileSaveCancelMode& result, TFileSaveReport& report) {
  platform::AlignedSector buffer;
  std::uint32_t readSize = 0;
  bool skipMode = false;          // stepping past an unreadable block
  std::int64_t skipPosition = 0;  // the offset just past that block; 0 = current position
  // target.Size() == the source's read position while not skipping
  while (sourceSize - target.Size() > 0) {
    if (StopRequested(result)) break;
    if (!skipMode) {
      for (int attempt = 0; attempt < BadFileRestorator::ReadAttempts;) {
        if (BadFileRestorator::TryToReadFile(source, buffer, readSize)) break;
        ThrowUnlessMediumError(source);
        ++attempt;
        Send(proc, fseProgress, {}, 0, result);
        if (StopRequested(result)) break;
      }
      if (readSize == 0) {
        skipPosition = 0;
        skipMode = true;
      }
    }
    if (skipMode) {
      skipMode = !BadFileRestorator::TryToMoveFile(source, skipPosition);
      // The buffer holds zeros: a run up to the new read position, never past the end.
      const std::int64_t run = std::min(skipPosition - target.Size(), sourceSize - target.Size());
      readSize = static_cast<std::uint32_t>(
          std::clamp<std::int64_t>(run, 0, BadFileRestorator::BlockSize));
      std::memset(buffer.bytes, 0, sizeof buffer.bytes);
      report.AddZeros(target.Size(), readSize);
    }
    WriteAll(target, buffer.bytes, readSize);
    Send(proc, fseProgress, sourceName, readSize, result);
  }
}

}  // namespace

CreateDirectoryException::CreateDirectoryException(const std::filesystem::path& folder,
                                                   std::string reason)
    : std::runtime_error("Cannot create \"" + folder.string() + "\" directory"),
      FReason(std::move(reason)) {}

std::string FailureText(const std::exception& error) {
  const auto* folder = dynamic_cast<const CreateDirectoryException*>(&error);
  if (!folder || folder->Reason().empty()) return error.what();
  return std::string(error.what()) + ": " + folder->Reason();
}

OpenFileException::OpenFileException(const std::filesystem::path& file)
    : std::runtime_error("Cannot open file \"" + file.string() + "\".") {}

std::int64_t TFileSaveReport::UnreadableSectors() const {
  std::int64_t sectors = 0;
  for (const auto& r : ZeroRanges)
    sectors += (r.Length + BadFileRestorator::BlockSize - 1) / BadFileRestorator::BlockSize;
  return sectors;
}

void AppendJoined(std::vector<TByteRange>& ARanges, std::int64_t AOffset, std::int64_t ALength) {
  if (ALength <= 0) return;
  assert(AOffset >= 0 &&
         (ARanges.empty() || AOffset >= ARanges.back().Offset + ARanges.back().Length));
  if (!ARanges.empty() && ARanges.back().Offset + ARanges.back().Length == AOffset)
    ARanges.back().Length += ALength;
  else
    ARanges.push_back({AOffset, ALength});
}

void TFileSaveReport::AddZeros(std::int64_t offset, std::int64_t length) {
  AppendJoined(ZeroRanges, offset, length);
}

void BadFileRestorator::SetRunSectors(int ASectors) {
  gRunSectors = std::clamp(ASectors, 1, static_cast<int>(platform::RunSize / BlockSize));
}

int BadFileRestorator::RunSectors() { return gRunSectors; }

void BadFileRestorator::SetOpener(platform::IUnbufferedOpener* AOpener) { gOpener = AOpener; }

void BadFileRestorator::SetTargetCreator(platform::ITargetCreator* ACreator) {
  gTargetCreator = ACreator;
}

platform::IUnbufferedOpener& BadFileRestorator::Opener() {
  return gOpener ? *gOpener : platform::SystemUnbufferedOpener();
}

platform::ITargetCreator& BadFileRestorator::TargetCreator() {
  return gTargetCreator ? *gTargetCreator : platform::SystemTargetCreator();
}

bool BadFileRestorator::TryToReadFile(platform::IUnbufferedFile& AHandle,
                                      platform::AlignedSector& ABuffer, std::uint32_t& AReadSize) {
  const std::int64_t got = AHandle.Read(ABuffer.bytes, BlockSize);
  if (got < 0) {
    std::memset(ABuffer.bytes, 0, sizeof ABuffer.bytes);
    AReadSize = 0;
    return false;
  }
  AReadSize = static_cast<std::uint32_t>(got);
  return true;
}

bool BadFileRestorator::TryToMoveFile(platform::IUnbufferedFile& AHandle, std::int64_t& APos) {
  if (APos == 0) APos = AHandle.Position();
  APos += BlockSize;
  return AHandle.Seek(APos) && AHandle.Position() == APos;
}

TRestoratorIo TRestoratorIo::Current() {
  return {.Opener = gOpener, .TargetCreator = gTargetCreator, .RunSectors = gRunSectors};
}

TFileSaveCancelMode BadFileRestorator::SaveFile(const std::filesystem::path& ASourceName,
                                                const std::filesystem::path& ADestName,
                                                const TFileSaveProc& AProc,
                                                platform::ReadPath* AReadPath,
                                                TFileSaveReport* AReport) {
  return SaveFile(ASourceName, ADestName, AProc, TRestoratorIo::Current(), AReadPath, AReport);
}

TFileSaveCancelMode BadFileRestorator::SaveFile(const std::filesystem::path& ASourceName,
                                                const std::filesystem::path& ADestName,
                                                const TFileSaveProc& AProc,
                                                const TRestoratorIo& AIo,
                                                platform::ReadPath* AReadPath,
                                                TFileSaveReport* AReport) {
  TFileSaveCancelMode result = fscNormal;
  TFileSaveReport ownReport;
  TFileSaveReport& report = AReport ? *AReport : ownReport;
  report = {};
  const auto folder = FolderPart(ADestName);
  std::string reason;
  if (!folder.empty() && !platform::ForceDirectories(folder, reason))
    throw CreateDirectoryException(folder, reason);

  // From here on every failure ends the copy with fscError and no end event;
  // what was written stays on disk. The source is opened before the target
  // is created or truncated, so that a source that cannot be read, or that
  // is the target itself, costs no existing file its contents.
  try {
    std::string error;
    auto& opener = AIo.Opener ? *AIo.Opener : platform::SystemUnbufferedOpener();
    auto& creator = AIo.TargetCreator ? *AIo.TargetCreator : platform::SystemTargetCreator();
    auto source = opener.Open(ASourceName, error);
    if (!source) throw CopyError(std::string(OpenFileException(ASourceName).what()) + " " + error);
    const auto sourceId = source->Id();
    if (sourceId && platform::FileIdOf(ADestName) == sourceId)
      throw CopyError("the target \"" + ADestName.string() + "\" is the source file itself");
    auto target = creator.Create(ADestName, error);
    if (!target) throw CopyError(error);
    if (AReadPath) *AReadPath = source->Path();

    const std::int64_t sourceSize = source->Size();  // all 64 bits: sources of 4 GiB and more
    TSectorRunFile runs(*source, AIo.RunSectors);
    Send(AProc, fseStartFile, ASourceName, sourceSize, result);
    CopyBlocks(runs, *target, ASourceName, sourceSize, AProc, result, report);
    if (AReadPath) *AReadPath = source->Path();  // a reader may fall back while reading
    Send(AProc, fseEndFile, ASourceName, target->Size(), result);
  } catch (const std::exception& e) {
    report.Error = e.what();
    return fscError;
  }
  return result;
}

TFileSaveCancelMode BadFileRestorator::RetryRanges(const std::filesystem::path& ASourceName,
                                                   const std::filesystem::path& ADestName,
                                                   const std::vector<TByteRange>& ARanges,
                                                   TFileSaveReport& AReport) {
  AReport = {};
  try {
    auto source = OpenSourceFor(ASourceName, ADestName);
    std::string error;
    auto target = TargetCreator().OpenExisting(ADestName, error);
    if (!target) throw CopyError(error);
    const std::int64_t size = source->Size();
    if (target->Size() != size)
      throw CopyError("the target has " + std::to_string(target->Size()) + " bytes, the source " +
                      std::to_string(size));
    platform::AlignedSector buffer;
    for (const auto& range : ARanges) {
      const std::int64_t end = std::min(range.Offset + range.Length, size);
      for (std::int64_t sector = range.Offset / BlockSize * BlockSize; sector < end;
           sector += BlockSize) {
        const auto count =
            static_cast<std::uint32_t>(std::min<std::int64_t>(BlockSize, size - sector));
        // Only the part of the sector inside the range is written or listed.
        const std::int64_t from = std::max(sector, range.Offset);
        const std::int64_t to = std::min(sector + count, end);
        if (!ReadSectorAt(*source, sector, count, buffer)) {
          AReport.AddZeros(from, to - from);
          continue;
        }
        const auto length = static_cast<std::size_t>(to - from);
        if (target->WriteAt(from, buffer.bytes + (from - sector), length) !=
            static_cast<std::int64_t>(length))
          ThrowWriteError(*target);
      }
    }
  } catch (const std::exception& e) {
    AReport.Error = e.what();
    return fscError;
  }
  return fscNormal;
}

TFileSaveCancelMode BadFileRestorator::SaveFileList(const TCustomFileList& AList,
                                                    const std::filesystem::path& ADestPath,
                                                    const TFileSaveProc& AProc) {
  TFileSaveCancelMode result = fscNormal;
  Send(AProc, fseStartList, {}, AList.Size(), result);
  try {
    for (std::int32_t i = 0; i < AList.Count() && result != fscCancel; ++i) {
      const TCustomFile* entry = AList.GetFiles(i);
      // Relative parts only: an absolute part would replace the target folder
      // (a tree whose root is not marked as a drive has an absolute PathNoDrive).
      auto target = ADestPath / entry->PathNoDrive().relative_path();
      target /= entry->Name().relative_path();
      result = SaveFile(entry->FullName(), target, AProc);
    }
  } catch (...) {
    Send(AProc, fseEndList, {}, AList.Size(), result);
    throw;
  }
  Send(AProc, fseEndList, {}, AList.Size(), result);
  return result;
}

ScopedRestoratorIo::ScopedRestoratorIo(platform::IUnbufferedOpener* AOpener,
                                       platform::ITargetCreator* ACreator)
    : FOldOpener(gOpener), FOldCreator(gTargetCreator) {
  gOpener = AOpener;
  if (ACreator) gTargetCreator = ACreator;
}

ScopedRestoratorIo::~ScopedRestoratorIo() {
  gOpener = FOldOpener;
  gTargetCreator = FOldCreator;
}
