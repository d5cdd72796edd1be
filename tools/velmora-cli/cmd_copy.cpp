// velmora-cli copy SOURCE TARGET [--events] [--map MAPFILE]: copies one file
// as the recovery wizard does, zeros in place of unreadable sectors. With
// --device DEVICE the source is a path on the ISO 9660 disc or image DEVICE,
// not mounted. With --map the damage is written as a GNU ddrescue mapfile;
// given an existing map and target, only the map's unreadable areas are read
// again and both are brought up to date.

#include <iostream>
#include <optional>
#include <string>

#include "Command.h"
#include "CopyMapFile.h"
#include "DiscFileOpener.h"
#include "engine/uDiskUtils.h"

namespace {

const char* EventName(TFileSaveEventType event) {
  switch (event) {
    case fseStartList:
      return "fseStartList";
    case fseStartFile:
      return "fseStartFile";
    case fseEndList:
      return "fseEndList";
    case fseEndFile:
      return "fseEndFile";
    case fseProgress:
      return "fseProgress";
  }
  return "?";
}

const char* ModeName(TFileSaveCancelMode mode) {
  switch (mode) {
    case fscNormal:
      return "fscNormal";
    case fscSkip:
      return "fscSkip";
    case fscCancel:
      return "fscCancel";
    case fscError:
      return "fscError";
  }
  return "?";
}

// The word of the restore log for a result.
const char* OutcomeWord(TFileSaveCancelMode mode) {
  switch (mode) {
    case fscNormal:
      return "saved";
    case fscSkip:
      return "skipped";
    case fscCancel:
      return "canceled";
    case fscError:
      return "not saved";
  }
  return "?";
}

// " (3 unreadable sectors filled with zeros)" after "saved"; nothing when
// every sector was read.
std::string DamageNote(TFileSaveCancelMode result, const TFileSaveReport& report) {
  const auto sectors = report.UnreadableSectors();
  if (result != fscNormal || sectors == 0) return {};
  return " (" + std::to_string(sectors) +
         (sectors == 1 ? " unreadable sector" : " unreadable sectors") + " filled with zeros)";
}

int Usage() {
  return cli::Fail(
      "usage: velmora-cli copy SOURCE TARGET [--events] [--map MAPFILE]\n"
      "       velmora-cli copy --device DEVICE PATH-ON-DISC TARGET [--events] [--map MAPFILE]");
}

// Copies with the copier's current opener; with `events`, one tab-separated
// line per event and then one line saying how the source was read.
// Reads the unreadable areas of an existing map again into the existing
// target; the map's size must be the target's.
TFileSaveCancelMode Retry(const std::filesystem::path& source, const std::filesystem::path& target,
                          const std::filesystem::path& mapFile, TFileSaveReport& report) {
  auto map = cli::ReadMapFile(mapFile, report.Error);
  if (!map) return fscError;
  std::error_code ec;
  const auto targetSize = static_cast<std::int64_t>(std::filesystem::file_size(target, ec));
  if (ec || map->Size != targetSize) {
    report.Error = "the map \"" + mapFile.string() + "\" covers " + std::to_string(map->Size) +
                   " bytes, the target has " + (ec ? ec.message() : std::to_string(targetSize));
    return fscError;
  }
  return BadFileRestorator::RetryRanges(source, target, map->Unreadable, report);
}

TFileSaveCancelMode Copy(const std::filesystem::path& source, const std::filesystem::path& target,
                         bool events, TFileSaveReport& report) {
  platform::ReadPath path{};
  bool opened = false;
  TFileSaveProc proc;
  if (events) {
    proc = [&opened](TFileSaveEventType e, const std::filesystem::path& name, std::int64_t size,
                     TFileSaveCancelMode& mode) {
      std::cout << EventName(e) << '\t' << name.string() << '\t' << size << '\t' << ModeName(mode)
                << '\n';
      if (e == fseStartFile) opened = true;
    };
  }
  const auto result = BadFileRestorator::SaveFile(source, target, proc, &path, &report);
  // Once, after the copy: a reader may fall back to another path while reading.
  if (opened) std::cout << "read path\t" << platform::ReadPathText(path) << '\n';
  return result;
}

int RunCopy(const std::vector<std::string>& args) {
  bool events = false;
  std::optional<std::string> device;
  std::optional<std::filesystem::path> mapFile;
  std::vector<std::string> names;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--events") {
      events = true;
    } else if (args[i] == "--map") {
      if (mapFile || i + 1 == args.size()) return Usage();
      mapFile = args[++i];
    } else if (args[i] == "--device") {
      if (device || i + 1 == args.size()) return Usage();
      device = args[++i];
    } else {
      names.push_back(args[i]);
    }
  }
  if (names.size() != 2) return Usage();

  const std::filesystem::path target = names[1];
  if (mapFile) {
    // Of a disc file read by extents, the device or image is the file the
    // map must not replace.
    std::string error;
    if (!cli::CheckMapFile(*mapFile, std::filesystem::path(device ? *device : names[0]), target,
                           error)) {
      std::cerr << "velmora-cli: " << error << '\n';
      std::cout << OutcomeWord(fscError) << '\n';
      return 1;
    }
  }

  TFileSaveCancelMode result;
  TFileSaveReport report;
  bool reasonGiven = false;
  const bool retry =
      mapFile && std::filesystem::exists(*mapFile) && std::filesystem::exists(target);
  const auto copyOrRetry = [&](const std::filesystem::path& source) {
    return retry ? Retry(source, target, *mapFile, report) : Copy(source, target, events, report);
  };
  if (device) {
    // The file is read at its extents on the device or image, by the same
    // copier; its events name it "DEVICE:PATH-ON-DISC".
    cli::DiscFileOpener opener(*device, names[0]);
    ScopedRestoratorIo io(&opener);
    result = copyOrRetry(opener.SourceName());
    if (!opener.WhyNot().empty()) {
      std::cerr << "velmora-cli: cannot read " << opener.SourceName().string() << ": "
                << opener.WhyNot() << '\n';
      reasonGiven = true;
    }
  } else {
    result = copyOrRetry(names[0]);
  }
  std::string mapError;
  if (mapFile && result == fscNormal &&
      !cli::WriteMapFile(
          *mapFile,
          {static_cast<std::int64_t>(std::filesystem::file_size(target)), report.ZeroRanges},
          mapError)) {
    std::cerr << "velmora-cli: " << mapError << '\n';
    result = fscError;
    reasonGiven = true;
  }
  if (result == fscError && !reasonGiven)
    std::cerr << "velmora-cli: " << (report.Error.empty() ? "the copy failed" : report.Error)
              << '\n';
  std::cout << OutcomeWord(result) << DamageNote(result, report) << '\n';
  return result == fscNormal ? 0 : 1;
}

const cli::CommandRegistration registration{{
    "copy",
    "  copy SOURCE TARGET [--events] [--map MAPFILE]\n"
    "                                copy one file, zeros for unreadable sectors; prints saved,\n"
    "                                skipped, canceled or not saved. --map writes a GNU ddrescue\n"
    "                                mapfile; with an existing map and target it reads only the\n"
    "                                map's unreadable areas again\n"
    "  copy --device DEVICE PATH-ON-DISC TARGET [--events] [--map MAPFILE]\n"
    "                                the same for a file of an unmounted ISO 9660 disc or\n"
    "                                image, read at its extents on DEVICE (a device or image)",
    RunCopy,
}};

}  // namespace
