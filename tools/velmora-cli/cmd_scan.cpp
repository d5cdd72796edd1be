// velmora-cli scan PATH: prints the tree the disc scan builds from a folder.

#include <iostream>

#include "Command.h"
#include "engine/uDiskUtils.h"
#include "platform/Files.h"

namespace {

// One line per entry: two blanks per level, the name, a tab, the size, a tab,
// the attribute bits in hex.
void PrintEntry(const TCustomFile& entry, std::ostream& out) {
  out << std::string(static_cast<std::size_t>(entry.Level()) * 2, ' ') << entry.Name().string()
      << '\t' << entry.Size() << "\t0x" << std::hex << static_cast<int>(entry.Attr()) << std::dec
      << '\n';
  if (const auto* dir = dynamic_cast<const TCustomDir*>(&entry)) {
    for (std::int32_t i = 0; i < dir->Count(); ++i) PrintEntry(*dir->Files(i), out);
  }
}

int RunScan(const std::vector<std::string>& args) {
  if (args.size() != 1) return cli::Fail("usage: velmora-cli scan PATH");
  const std::filesystem::path path = args[0];
  if (!platform::DirectoryExists(path)) return cli::Fail("not a folder: \"" + args[0] + "\"");
  TCustomDir root;
  root.SetName(path);
  root.SetAttr(faVolumeId);
  root.Scan(path, true);
  PrintEntry(root, std::cout);
  return 0;
}

const cli::CommandRegistration registration{{
    "scan",
    "  scan PATH                     print the tree a disc scan builds from PATH\n"
    "                                (indented name, size, attribute bits in hex)",
    RunScan,
}};

}  // namespace
