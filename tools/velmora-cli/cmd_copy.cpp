// velmora-cli copy SOURCE TARGET [--events]: copies one file as the recovery
// wizard does, zeros in place of unreadable sectors.

#include <iostream>

#include "Command.h"
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

int RunCopy(const std::vector<std::string>& args) {
  bool events = false;
  std::vector<std::string> names;
  for (const auto& a : args) {
    if (a == "--events")
      events = true;
    else
      names.push_back(a);
  }
  if (names.size() != 2) return cli::Fail("usage: velmora-cli copy SOURCE TARGET [--events]");

  platform::ReadPath path{};
  bool opened = false;
  TFileSaveProc proc;
  if (events) {
    // One tab-separated line per event.
    proc = [&opened](TFileSaveEventType e, const std::filesystem::path& name, std::int64_t size,
                     TFileSaveCancelMode& mode) {
      std::cout << EventName(e) << '\t' << name.string() << '\t' << size << '\t' << ModeName(mode)
                << '\n';
      if (e == fseStartFile) opened = true;
    };
  }
  const auto result = BadFileRestorator::SaveFile(names[0], names[1], proc, &path);
  // Once, after the copy: a reader may fall back to another path while reading.
  if (opened) std::cout << "read path\t" << platform::ReadPathText(path) << '\n';
  std::cout << OutcomeWord(result) << '\n';
  return result == fscNormal ? 0 : 1;
}

const cli::CommandRegistration registration{{
    "copy",
    "  copy SOURCE TARGET [--events] copy one file sector by sector, zeros for unreadable\n"
    "                                sectors; prints saved, skipped, canceled or not saved",
    RunCopy,
}};

}  // namespace
