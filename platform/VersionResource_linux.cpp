#include "platform/VersionResource.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/FileDescriptor.h"

namespace platform {

namespace {

// The note written by cmake/VersionNote.cmake.
constexpr char kNoteName[8] = "Velmora";
constexpr std::uint32_t kNoteType = 1;
constexpr std::uint32_t kLayout = 1;
constexpr std::size_t kFixedSize = 24;  // layout, two versions, translation
// Limits that keep a hostile file from making us allocate or loop much.
constexpr std::uint64_t kMaxDesc = 64 * 1024;
constexpr std::uint64_t kMaxNoteArea = 1024 * 1024;
constexpr std::uint64_t kMaxHeaders = 4096;

class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(const std::filesystem::path& path)
      : FFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)) {
    struct stat st {};
    // Only regular files: a fifo or a device could block or never end.
    if (FFd.IsOpen() && ::fstat(FFd.Get(), &st) == 0 && S_ISREG(st.st_mode)) {
      FSize = static_cast<std::uint64_t>(st.st_size);
      FOk = true;
    }
  }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  bool ok() const { return FOk; }
  std::uint64_t size() const { return FSize; }

  // Reads exactly length bytes at offset; false when they are not all inside the file.
  bool Read(std::uint64_t offset, std::uint64_t length, unsigned char* out) const {
    if (!FOk || offset > FSize || length > FSize - offset) return false;
    while (length > 0) {
      const ssize_t got =
          ::pread(FFd.Get(), out, static_cast<std::size_t>(length), static_cast<off_t>(offset));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;  // the file shrank under us
      out += got;
      offset += static_cast<std::uint64_t>(got);
      length -= static_cast<std::uint64_t>(got);
    }
    return true;
  }

 private:
  FileDescriptor FFd;
  bool FOk = false;
  std::uint64_t FSize = 0;
};

// Byte order and word size of one ELF file.
struct ElfKind {
  bool is64 = false;
  bool bigEndian = false;

  std::uint64_t Get(const unsigned char* p, int bytes) const {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) {
      const int shift = bigEndian ? 8 * (bytes - 1 - i) : 8 * i;
      v |= static_cast<std::uint64_t>(p[i]) << shift;
    }
    return v;
  }
  std::uint16_t U16(const unsigned char* p) const { return static_cast<std::uint16_t>(Get(p, 2)); }
  std::uint32_t U32(const unsigned char* p) const { return static_cast<std::uint32_t>(Get(p, 4)); }
};

// A field of an <elf.h> structure, read from the file's bytes of that
// structure in the file's byte order.
#define ELF_FIELD(kind, bytes, Struct, field) \
  (kind).Get((bytes) + offsetof(Struct, field), static_cast<int>(sizeof(Struct::field)))

// The structures of one word size.
struct Elf32 {
  using Ehdr = Elf32_Ehdr;
  using Shdr = Elf32_Shdr;
  using Phdr = Elf32_Phdr;
};
struct Elf64 {
  using Ehdr = Elf64_Ehdr;
  using Shdr = Elf64_Shdr;
  using Phdr = Elf64_Phdr;
};

// A run of notes inside the file: a note section or a note segment.
struct NoteArea {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  std::uint64_t align = 0;
};

std::uint64_t AlignUp(std::uint64_t value, std::uint64_t align) {
  return (value + align - 1) / align * align;
}

// The desc of our note inside one area, in the file's byte order.
std::optional<std::vector<unsigned char>> FindNote(const ReadOnlyFile& file, const ElfKind& elf,
                                                   const NoteArea& area) {
  if (area.size < sizeof(Elf64_Nhdr) || area.size > kMaxNoteArea) return std::nullopt;
  std::vector<unsigned char> bytes(static_cast<std::size_t>(area.size));
  if (!file.Read(area.offset, area.size, bytes.data())) return std::nullopt;
  // Notes in 8-aligned areas (GNU property notes of 64-bit files) pad to 8.
  const std::uint64_t align = area.align == 8 ? 8 : 4;
  const std::uint64_t size = bytes.size();
  std::uint64_t pos = 0;
  // Elf32_Nhdr and Elf64_Nhdr are the same three 32-bit words.
  while (size - pos >= sizeof(Elf64_Nhdr)) {
    const unsigned char* header = &bytes[pos];
    const std::uint64_t namesz = ELF_FIELD(elf, header, Elf64_Nhdr, n_namesz);
    const std::uint64_t descsz = ELF_FIELD(elf, header, Elf64_Nhdr, n_descsz);
    const std::uint64_t type = ELF_FIELD(elf, header, Elf64_Nhdr, n_type);
    pos += sizeof(Elf64_Nhdr);
    const std::uint64_t nameSpan = AlignUp(namesz, align);
    if (nameSpan > size - pos) break;
    const std::uint64_t desc = pos + nameSpan;
    if (descsz > size - desc) break;
    if (namesz == sizeof kNoteName && type == kNoteType &&
        std::memcmp(&bytes[pos], kNoteName, sizeof kNoteName) == 0) {
      return std::vector<unsigned char>(bytes.begin() + static_cast<std::ptrdiff_t>(desc),
                                        bytes.begin() + static_cast<std::ptrdiff_t>(desc + descsz));
    }
    const std::uint64_t descSpan = AlignUp(descsz, align);
    if (descSpan > size - desc) break;
    pos = desc + descSpan;
  }
  return std::nullopt;
}

// Reads the table of count entries of entrySize bytes at offset and calls
// pick for each; stops at the first desc that pick's area yields.
template <typename Pick>
std::optional<std::vector<unsigned char>> SearchTable(const ReadOnlyFile& file, const ElfKind& elf,
                                                      std::uint64_t offset, std::uint64_t count,
                                                      std::uint64_t entrySize,
                                                      std::uint64_t minEntrySize, Pick pick) {
  if (offset == 0 || count == 0 || entrySize < minEntrySize || offset > file.size())
    return std::nullopt;
  count = std::min(count, kMaxHeaders);
  std::vector<unsigned char> entry(static_cast<std::size_t>(minEntrySize));
  for (std::uint64_t i = 0; i < count; ++i) {
    if (!file.Read(offset + i * entrySize, minEntrySize, entry.data())) break;
    NoteArea area;
    if (!pick(entry.data(), area)) continue;
    if (auto desc = FindNote(file, elf, area)) return desc;
  }
  return std::nullopt;
}

template <class E>
std::optional<std::vector<unsigned char>> FindVersionDescOf(const ReadOnlyFile& file,
                                                            const ElfKind& elf) {
  using Ehdr = typename E::Ehdr;
  using Shdr = typename E::Shdr;
  using Phdr = typename E::Phdr;
  unsigned char header[sizeof(Ehdr)] = {};
  if (!file.Read(0, sizeof header, header)) return std::nullopt;
  const std::uint64_t phoff = ELF_FIELD(elf, header, Ehdr, e_phoff);
  const std::uint64_t shoff = ELF_FIELD(elf, header, Ehdr, e_shoff);
  const std::uint64_t phentsize = ELF_FIELD(elf, header, Ehdr, e_phentsize);
  const std::uint64_t phnum = ELF_FIELD(elf, header, Ehdr, e_phnum);
  const std::uint64_t shentsize = ELF_FIELD(elf, header, Ehdr, e_shentsize);
  std::uint64_t shnum = ELF_FIELD(elf, header, Ehdr, e_shnum);
  if (shnum == 0 && shoff != 0 && shentsize >= sizeof(Shdr)) {
    // Many sections: the count lives in the size field of section 0.
    unsigned char first[sizeof(Shdr)] = {};
    if (file.Read(shoff, sizeof first, first)) shnum = ELF_FIELD(elf, first, Shdr, sh_size);
  }

  auto section = [&elf](const unsigned char* e, NoteArea& area) {
    if (ELF_FIELD(elf, e, Shdr, sh_type) != SHT_NOTE) return false;
    area.offset = ELF_FIELD(elf, e, Shdr, sh_offset);
    area.size = ELF_FIELD(elf, e, Shdr, sh_size);
    area.align = ELF_FIELD(elf, e, Shdr, sh_addralign);
    return true;
  };
  if (auto desc = SearchTable(file, elf, shoff, shnum, shentsize, sizeof(Shdr), section))
    return desc;

  // Section headers may be gone (some strippers drop them); the loader's
  // view of the file still lists the note segments.
  auto segment = [&elf](const unsigned char* e, NoteArea& area) {
    if (ELF_FIELD(elf, e, Phdr, p_type) != PT_NOTE) return false;
    area.offset = ELF_FIELD(elf, e, Phdr, p_offset);
    area.size = ELF_FIELD(elf, e, Phdr, p_filesz);
    area.align = ELF_FIELD(elf, e, Phdr, p_align);
    return true;
  };
  return SearchTable(file, elf, phoff, phnum, phentsize, sizeof(Phdr), segment);
}

// The byte order and word size of an ELF file; nullopt for anything else.
std::optional<ElfKind> KindOf(const ReadOnlyFile& file) {
  unsigned char ident[EI_NIDENT] = {};
  if (!file.Read(0, sizeof ident, ident)) return std::nullopt;
  if (std::memcmp(ident, ELFMAG, SELFMAG) != 0) return std::nullopt;
  if (ident[EI_CLASS] != ELFCLASS32 && ident[EI_CLASS] != ELFCLASS64) return std::nullopt;
  if (ident[EI_DATA] != ELFDATA2LSB && ident[EI_DATA] != ELFDATA2MSB) return std::nullopt;
  ElfKind elf;
  elf.is64 = ident[EI_CLASS] == ELFCLASS64;
  elf.bigEndian = ident[EI_DATA] == ELFDATA2MSB;
  return elf;
}

std::optional<std::vector<unsigned char>> FindVersionDesc(const ReadOnlyFile& file,
                                                          const ElfKind& elf) {
  return elf.is64 ? FindVersionDescOf<Elf64>(file, elf) : FindVersionDescOf<Elf32>(file, elf);
}

// The version block: the note's desc with its fixed part in host byte order
// (the block never leaves this process) and its strings as they are.
std::vector<char> LoadBlock(const std::filesystem::path& path) {
  ReadOnlyFile file(path);
  if (!file.ok()) return {};
  const auto kind = KindOf(file);
  if (!kind) return {};
  // The desc is in the file's byte order.
  const auto desc = FindVersionDesc(file, *kind);
  if (!desc || desc->size() < kFixedSize || desc->size() > kMaxDesc) return {};
  const ElfKind& order = *kind;
  if (order.U32(desc->data()) != kLayout) return {};

  std::vector<char> block(desc->size());
  const std::uint32_t layout = kLayout;
  std::memcpy(block.data(), &layout, 4);
  for (std::size_t at = 4; at < kFixedSize; at += 2) {
    const std::uint16_t value = order.U16(desc->data() + at);
    std::memcpy(block.data() + at, &value, 2);
  }
  std::memcpy(block.data() + kFixedSize, desc->data() + kFixedSize, desc->size() - kFixedSize);
  return block;
}

bool ValidBlock(std::span<const char> block) {
  if (block.size() < kFixedSize) return false;
  std::uint32_t layout = 0;
  std::memcpy(&layout, block.data(), 4);
  return layout == kLayout;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) {
             return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
           };
           return lower(x) == lower(y);
         });
}

}  // namespace

std::uint32_t FileVersionInfoSize(const std::filesystem::path& file) {
  return static_cast<std::uint32_t>(LoadBlock(file).size());
}

bool ReadFileVersionInfo(const std::filesystem::path& file, std::span<char> block) {
  std::fill(block.begin(), block.end(), '\0');
  const auto loaded = LoadBlock(file);
  if (loaded.empty() || loaded.size() > block.size()) return false;
  std::copy(loaded.begin(), loaded.end(), block.begin());
  return true;
}

bool QueryVersionValue(std::span<const char> block, std::string_view subBlock,
                       std::string_view& value) {
  if (!ValidBlock(block)) return false;
  while (!subBlock.empty() && subBlock.front() == '\\') subBlock.remove_prefix(1);
  std::string_view strings(block.data() + kFixedSize, block.size() - kFixedSize);
  while (!strings.empty()) {
    const auto end = std::min(strings.find('\0'), strings.size());
    const std::string_view entry = strings.substr(0, end);
    strings.remove_prefix(std::min(end + 1, strings.size()));
    const auto equals = entry.find('=');
    if (equals == std::string_view::npos) continue;  // padding or a damaged entry
    if (SameText(entry.substr(0, equals), subBlock)) {
      value = entry.substr(equals + 1);
      return true;
    }
  }
  return false;
}

bool QueryFixedFileVersion(std::span<const char> block, TFixedFileVersion& fixed) {
  if (!ValidBlock(block)) return false;
  std::uint16_t values[10];
  std::memcpy(values, block.data() + 4, sizeof values);
  std::copy(values, values + 4, fixed.FileVersion.begin());
  std::copy(values + 4, values + 8, fixed.ProductVersion.begin());
  fixed.Language = values[8];
  fixed.CodePage = values[9];
  return true;
}

}  // namespace platform
