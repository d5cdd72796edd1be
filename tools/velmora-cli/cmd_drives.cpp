// velmora-cli drives [--all] [--watch]
// Prints the drive table, one drive a line, fields separated by a tab:
//   designator, type, label, file system, free bytes, total bytes
// Type is one of optical, removable, fixed, RAM (and unknown, none, network
// with --all). Sizes are plain byte counts, "-" when the drive has no readable
// volume. Gone and network drives (type dtUnknown) are listed only with --all.
// --watch prints the table again after each change of drives, until stopped.

#include <chrono>
#include <iostream>

#include "Command.h"
#include "engine/uDiskUtils.h"
#include "platform/DeviceNotifier.h"

namespace {

const char* TypeWord(TDriveType type) {
  switch (type) {
    case dtNoDrive:
      return "none";
    case dtFloppy:
      return "removable";
    case dtFixed:
      return "fixed";
    case dtNetwork:
      return "network";
    case dtCDROM:
      return "optical";
    case dtRAM:
      return "RAM";
    case dtUnknown:
      break;
  }
  return "unknown";
}

// Tabs and line breaks inside a label would break the line format.
std::string Field(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return text;
}

void PrintDrives(bool all) {
  for (const auto& rec : Drives) {
    if (rec.DriveType == dtUnknown && !all) continue;
    TDiskSpace space;
    const bool hasSpace = rec.DriveType != dtUnknown && !rec.FileSystemName.empty() &&
                          ReadDiskSpace(rec.Letter, space);
    std::cout << Field(rec.Letter) << '\t' << TypeWord(rec.DriveType) << '\t'
              << Field(rec.VolumeName) << '\t' << Field(rec.FileSystemName) << '\t'
              << (hasSpace ? std::to_string(space.FreeBytes) : "-") << '\t'
              << (hasSpace ? std::to_string(space.TotalBytes) : "-") << '\n';
  }
  std::cout.flush();
}

int RunDrives(const std::vector<std::string>& args) {
  bool all = false, watch = false;
  for (const auto& arg : args) {
    if (arg == "--all")
      all = true;
    else if (arg == "--watch")
      watch = true;
    else
      return cli::Fail("drives: unknown argument \"" + arg + "\"");
  }
  if (!watch) {
    UpdateDrives();
    PrintDrives(all);
    return 0;
  }
  platform::DeviceNotifier notifier;
  for (bool first = true;; first = false) {
    UpdateDrives();
    if (!first) std::cout << '\n';
    PrintDrives(all);
    while (!notifier.WaitForChange(std::chrono::hours(1))) {
    }
  }
}

const cli::CommandRegistration registration({
    "drives",
    "  drives [--all] [--watch]   list the drives: designator, type, label, file system,\n"
    "                             free and total bytes, tab-separated; --watch repeats on change",
    RunDrives,
});

}  // namespace
