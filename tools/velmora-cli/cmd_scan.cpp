// velmora-cli scan PATH: prints the tree the disc scan builds from a folder.

#include <cstdint>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "Command.h"
#include "engine/DisplayName.h"
#include "engine/uDiskUtils.h"
#include "platform/Files.h"

namespace {

// One line per entry: two blanks per level, the escaped name, a tab, the
// size, a tab, the attribute bits in hex. Depth first without recursion, as
// deep as the scan went.
void PrintTree(const TCustomDir& aRoot, std::ostream& out) {
  std::vector<std::pair<const TCustomFile*, std::size_t>> pending = {{&aRoot, 0}};
  while (!pending.empty()) {
    const auto [entry, level] = pending.back();
    pending.pop_back();
    out << std::string(level * 2, ' ') << EscapedName(entry->Name().string()) << '\t'
        << entry->Size() << "\t0x" << std::hex << static_cast<int>(entry->Attr()) << std::dec
        << '\n';
    if (const auto* dir = dynamic_cast<const TCustomDir*>(entry)) {
      for (std::int32_t i = dir->Count(); i > 0; --i)
        pending.emplace_back(dir->Files(i - 1), level + 1);
    }
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
  PrintTree(root, std::cout);
  return 0;
}

const cli::CommandRegistration registration{{
    "scan",
    "  scan PATH                     print the tree a disc scan builds from PATH\n"
    "                                (indented name, size, attribute bits in hex;\n"
    "                                names escape \\ \\t \\n \\r \\xHH)",
    RunScan,
}};

}  // namespace
