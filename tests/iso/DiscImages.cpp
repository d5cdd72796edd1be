#include "DiscImages.h"

#include <cstdint>
#include <fstream>
#include <optional>
#include <vector>

#include "RunProcess.h"
#include "TempDir.h"

namespace isotest {

namespace {

const std::map<std::string, std::size_t>& TreeSizes() {
  static const std::map<std::string, std::size_t> sizes = {
      {"ReadMe.Txt", 5000},
      {"Exact.bin", 4096},
      {"Empty.dat", 0},
      {"Case.txt", 1},
      {"CASE.TXT", 2},
      {"Docs/Report2009.PDF", 10000},
      {"Docs/Deep/a/b/c/d/e/f/g/h/Leaf.txt", 3000},
      {"A.BIN", 3000},
      {"B.BIN", 6144},
      {"I.BIN", 2048},
  };
  return sizes;
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Run(const std::vector<std::string>& argv) {
  const auto r = testsupport::RunProcess(argv);
  if (r.exitCode == 0) return {};
  return argv[0] + " failed (exit " + std::to_string(r.exitCode) + "): " + r.err;
}

std::uint32_t Le32(const std::string& b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

void PutBoth32(std::string& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) {
    b[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
    b[at + 7 - static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
  }
}

// The byte offset in the image of a record of the root directory.
std::optional<std::size_t> RootRecord(const std::string& image, const std::string& identifier) {
  const std::size_t pvd = 16 * 2048;
  const std::size_t root = Le32(image, pvd + 156 + 2) * std::size_t{2048};
  const std::size_t size = Le32(image, pvd + 156 + 10);
  for (std::size_t sector = root; sector < root + size; sector += 2048) {
    std::size_t pos = 0;
    while (pos < 2048 && image[sector + pos] != 0) {
      const std::size_t at = sector + pos;
      const std::size_t nameLength = static_cast<unsigned char>(image[at + 32]);
      if (image.compare(at + 33, nameLength, identifier) == 0 && nameLength == identifier.size())
        return at;
      pos += static_cast<unsigned char>(image[at]);
    }
  }
  return std::nullopt;
}

std::string MakeSections(const std::filesystem::path& work, const std::filesystem::path& image) {
  const auto src = work / "sections-tree";
  for (const char* name : {"A.BIN", "B.BIN", "I.BIN"}) WriteFile(src / name, TreeFile(name));
  if (auto e =
          Run({"genisoimage", "-quiet", "-iso-level", "2", "-o", image.string(), src.string()});
      !e.empty())
    return e;
  std::ifstream in(image, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  const auto a = RootRecord(bytes, "A.BIN;1");
  const auto b = RootRecord(bytes, "B.BIN;1");
  const auto i = RootRecord(bytes, "I.BIN;1");
  if (!a || !b || !i || *a > *b) return "the sections image lacks the records to edit";
  const std::uint32_t aExtent = Le32(bytes, *a + 2), aSize = Le32(bytes, *a + 10);
  const std::uint32_t bExtent = Le32(bytes, *b + 2), bSize = Le32(bytes, *b + 10);
  PutBoth32(bytes, *a + 2, bExtent);
  PutBoth32(bytes, *a + 10, bSize);
  bytes[*a + 25] = static_cast<char>(bytes[*a + 25] | 0x80);
  PutBoth32(bytes, *b + 2, aExtent);
  PutBoth32(bytes, *b + 10, aSize);
  bytes.replace(*b + 33, 7, "A.BIN;1");
  bytes[*i + 26] = 1;  // file unit size: recorded interleaved
  std::ofstream(image, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return {};
}

Discs MakeDiscs() {
  static testsupport::TempDir work;  // lives until the program ends, after the loop devices
  Discs discs;
  const auto tree = work / "tree";
  WriteTree(tree);
  const std::map<std::string, std::vector<std::string>> commands = {
      {"rr-joliet", {"genisoimage", "-quiet", "-R", "-J"}},
      {"joliet", {"genisoimage", "-quiet", "-J"}},
      {"plain", {"genisoimage", "-quiet", "-iso-level", "2", "-D"}},
      {"xorriso", {"xorriso", "-as", "mkisofs", "-quiet", "-R", "-J"}},
  };
  for (const auto& [name, command] : commands) {
    auto argv = command;
    const auto image = work / (name + ".iso");
    argv.insert(argv.end(), {"-o", image.string(), tree.string()});
    if (auto e = Run(argv); !e.empty()) {
      discs.error = e;
      return discs;
    }
    discs.byName[name].image = image;
  }
  if (auto e = MakeSections(work.path(), work / "sections.iso"); !e.empty()) {
    discs.error = e;
    return discs;
  }
  discs.byName["sections"].image = work / "sections.iso";
  for (auto& [name, disc] : discs.byName) {
    if (std::filesystem::file_size(disc.image) % 2048 != 0) {
      discs.error = name + ".iso is not a whole number of sectors";
      return discs;
    }
    try {
      disc.loop = std::make_unique<testsupport::LoopDevice>(disc.image);
    } catch (const std::exception& e) {
      discs.error = e.what();
      return discs;
    }
  }
  return discs;
}

}  // namespace

std::string ContentOf(const std::string& relativePath, std::size_t size) {
  std::uint32_t state = 2166136261u;
  for (const char c : relativePath) state = (state ^ static_cast<unsigned char>(c)) * 16777619u;
  std::string bytes(size, '\0');
  for (auto& b : bytes) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<char>((state >> 24) | 1);
  }
  return bytes;
}

std::string TreeFile(const std::string& relativePath) {
  return ContentOf(relativePath, TreeSizes().at(relativePath));
}

void WriteTree(const std::filesystem::path& root) {
  for (const auto& [path, size] : TreeSizes())
    if (path.find(".BIN") == std::string::npos) WriteFile(root / path, ContentOf(path, size));
}

const Discs& TheDiscs() {
  static const Discs discs = MakeDiscs();
  return discs;
}

}  // namespace isotest
