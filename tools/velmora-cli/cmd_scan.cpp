// velmora-cli scan PATH: prints the tree the disc scan builds from a folder.

#include <cstdint>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "Command.h"
#include "engine/uDiskUtils.h"
#include "platform/Files.h"
#include "platform/HexText.h"
#include "platform/Unicode.h"

namespace {

// A name on one line whose start cannot pass for indentation: a backslash
// is "\\", a tab "\t", a line feed "\n", a carriage return "\r", any other
// control character and any byte that is not UTF-8 "\xHH", and a blank at the
// start of the name "\x20".
std::string EscapedName(const std::string& aName) {
  std::string out;
  for (std::size_t i = 0; i < aName.size();) {
    char32_t c = 0;
    const std::size_t length = platform::DecodeUtf8At(aName, i, c);
    const auto byte = static_cast<std::uint8_t>(aName[i]);
    if (length == 0 || c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || (c == ' ' && i == 0)) {
      const std::size_t count = length == 0 ? 1 : length;
      for (std::size_t k = 0; k < count; ++k) {
        const auto b = static_cast<std::uint8_t>(aName[i + k]);
        if (b == '\t') {
          out += "\\t";
        } else if (b == '\n') {
          out += "\\n";
        } else if (b == '\r') {
          out += "\\r";
        } else {
          out += "\\x" + platform::HexText(&b, 1);
        }
      }
      i += count;
      continue;
    }
    if (byte == '\\') out += '\\';
    out.append(aName, i, length);
    i += length;
  }
  return out;
}

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
