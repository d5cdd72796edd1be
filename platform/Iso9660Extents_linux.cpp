// Walks an ISO 9660 directory the way the Linux iso9660 driver does (fs/isofs:
// the volume-descriptor scan and root choice of inode.c, the names of dir.c,
// joliet.c and rock.c, the multi-extent sections of isofs_read_level3_size), so
// that a path seen on a mounted disc leads to the sectors of that same file.
// The records are parsed here rather than by libiso9660, because its stat
// records carry neither the file flags nor the interleave fields nor the
// sections of a multi-extent file, and its names are not the driver's; and the
// sectors are read here too, because its buffered reads of a device read ahead
// far into the files after the directory (hundreds of KiB on a loop device),
// which on a damaged disc fails sectors the copy has yet to try.

#include "platform/Iso9660Extents.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/FileDescriptor.h"
#include "platform/MountTable.h"
#include "platform/Unicode.h"

namespace platform {

namespace {

constexpr std::int64_t kBlock = 2048;
constexpr unsigned kFlagHidden = 0x01;
constexpr unsigned kFlagDirectory = 0x02;
constexpr unsigned kFlagAssociated = 0x04;
constexpr unsigned kFlagMultiExtent = 0x80;
// Directories beyond this are taken for garbage rather than read.
constexpr std::uint32_t kMaxDirectoryBytes = 64u << 20;

using Bytes = std::vector<unsigned char>;

std::uint32_t Le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
unsigned Le16(const unsigned char* p) { return p[0] | static_cast<unsigned>(p[1]) << 8; }

// Whole sectors of a device or image, read with O_DIRECT so that only the
// sectors asked for are read. An image on a file system without O_DIRECT is
// read plainly, without readahead.
class SectorSource {
 public:
  explicit SectorSource(const std::filesystem::path& deviceOrImage)
      : FFd(::open(deviceOrImage.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC)) {
    if (!FFd.IsOpen() && errno == EINVAL) {
      FFd.Reset(::open(deviceOrImage.c_str(), O_RDONLY | O_CLOEXEC));
      if (FFd.IsOpen()) ::posix_fadvise(FFd.Get(), 0, 0, POSIX_FADV_RANDOM);
    }
  }

  bool IsOpen() const { return FFd.IsOpen(); }

  std::optional<Bytes> Read(std::uint32_t lsn, std::uint32_t count) const {
    const auto size = static_cast<std::size_t>(count) * kBlock;
    if (size == 0) return Bytes();
    // O_DIRECT wants an aligned buffer; 4096 suits every logical block size.
    const std::unique_ptr<unsigned char, decltype(&std::free)> buffer(
        static_cast<unsigned char*>(std::aligned_alloc(4096, (size + 4095) / 4096 * 4096)),
        &std::free);
    if (!buffer) return std::nullopt;
    const auto offset = static_cast<off_t>(lsn) * kBlock;
    std::size_t done = 0;
    while (done < size) {
      const auto got =
          ::pread(FFd.Get(), buffer.get() + done, size - done, offset + static_cast<off_t>(done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return std::nullopt;
      done += static_cast<std::size_t>(got);
    }
    return Bytes(buffer.get(), buffer.get() + size);
  }

 private:
  FileDescriptor FFd;
};

// One directory record, as far as finding a file needs it.
struct Record {
  std::string identifier;  // as recorded ("\0" and "\1" are "." and "..")
  std::uint32_t data = 0;  // first sector of the data (extended attributes skipped)
  std::uint32_t size = 0;  // bytes in this section
  unsigned flags = 0;
  bool interleaved = false;  // file unit size or interleave gap set
  Bytes systemUse;           // the System Use area (Rock Ridge fields)
};

bool IsDotOrDotDot(const Record& r) {
  return r.identifier.size() == 1 && (r.identifier[0] == '\0' || r.identifier[0] == '\1');
}

// The records of a directory in recorded order; records never cross sectors.
std::optional<std::vector<Record>> ReadDirectory(const SectorSource& disc, std::uint32_t lsn,
                                                 std::uint32_t size, std::string& whyNot) {
  if (size == 0 || size > kMaxDirectoryBytes) {
    whyNot = "a directory on the disc has an implausible size (" + std::to_string(size) + ")";
    return std::nullopt;
  }
  const auto sectors = static_cast<std::uint32_t>((size + kBlock - 1) / kBlock);
  const auto bytes = disc.Read(lsn, sectors);
  if (!bytes) {
    whyNot = "cannot read the directory at sector " + std::to_string(lsn);
    return std::nullopt;
  }
  std::vector<Record> records;
  for (std::uint32_t s = 0; s < sectors; ++s) {
    const unsigned char* sector = bytes->data() + static_cast<std::size_t>(s) * kBlock;
    std::size_t pos = 0;
    while (pos < kBlock && sector[pos] != 0) {
      const unsigned char* rec = sector + pos;
      const std::size_t length = rec[0];
      const std::size_t nameLength = rec[32];
      if (length < 34 || pos + length > kBlock || 33 + nameLength > length) {
        whyNot = "a malformed directory record at sector " + std::to_string(lsn + s);
        return std::nullopt;
      }
      Record r;
      r.identifier.assign(reinterpret_cast<const char*>(rec + 33), nameLength);
      r.data = Le32(rec + 2) + rec[1];
      r.size = Le32(rec + 10);
      r.flags = rec[25];
      r.interleaved = rec[26] != 0 || rec[27] != 0;
      std::size_t suspStart = 33 + nameLength;
      if (suspStart & 1) ++suspStart;
      if (suspStart < length) r.systemUse.assign(rec + suspStart, rec + length);
      records.push_back(std::move(r));
      pos += length;
    }
  }
  return records;
}

// What the Rock Ridge fields of one record tell, read as rock.c reads them.
struct RockFields {
  bool extensionsRecord = false;           // ER: the disc declares Rock Ridge
  std::optional<unsigned> spSkip;          // SP: bytes to skip in every later record
  std::string name;                        // NM pieces joined; empty when none
  bool nameTooLong = false;                // the driver truncates at 254 bytes
  bool relocated = false;                  // RE: a moved directory the driver hides
  std::optional<std::uint32_t> childLink;  // CL: where a moved directory now is
  bool unreadable = false;                 // malformed fields or an unreadable continuation area
};

RockFields ParseRock(const SectorSource& disc, const Bytes& systemUse, std::size_t skip) {
  RockFields f;
  Bytes area;
  if (skip < systemUse.size())
    area.assign(systemUse.begin() + static_cast<long>(skip), systemUse.end());
  bool nameClosed = false;
  for (int hops = 0; hops < 32; ++hops) {  // the driver's limit of continuation areas
    std::optional<std::uint32_t> ceBlock, ceOffset, ceSize;
    std::size_t p = 0;
    while (area.size() - p > 2) {
      const unsigned char* e = area.data() + p;
      const std::size_t len = e[2];
      // The driver gives up on the record's fields here, names included.
      if (len < 3 || p + len > area.size()) {
        f.unreadable = true;
        return f;
      }
      const char a = static_cast<char>(e[0]), b = static_cast<char>(e[1]);
      if (a == 'R' && b == 'R') {
        // An RR field without its NM flag ends the driver's name search (the
        // name is then the plain one) but not its search for other fields.
        if (len >= 5 && (e[4] & 0x08) == 0 && !nameClosed) {
          nameClosed = true;
          f.name.clear();
          f.nameTooLong = false;
        }
      } else if (a == 'S' && b == 'P') {
        if (len < 7 || e[4] != 0xBE || e[5] != 0xEF) {
          f.unreadable = true;
          return f;
        }
        f.spSkip = e[6];
      } else if (a == 'C' && b == 'E' && len >= 28) {
        ceBlock = Le32(e + 4);
        ceOffset = Le32(e + 12);
        ceSize = Le32(e + 20);
      } else if (a == 'N' && b == 'M' && len >= 5 && !f.nameTooLong && !nameClosed) {
        const unsigned flags = e[4];
        if ((flags & 6) == 0 && (flags & ~1u) == 0) {
          std::size_t n = len - 5;
          const void* nul = std::memchr(e + 5, 0, n);
          if (nul) n = static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - (e + 5));
          if (f.name.size() + (len - 5) >= 254)
            f.nameTooLong = true;
          else
            f.name.append(reinterpret_cast<const char*>(e + 5), n);
        }
      } else if (a == 'R' && b == 'E' && !nameClosed) {
        f.relocated = true;
        return f;
      } else if (a == 'C' && b == 'L' && len >= 12) {
        f.childLink = Le32(e + 4);
      } else if (a == 'E' && b == 'R') {
        f.extensionsRecord = true;
      }
      p += len;
    }
    if (!ceBlock) return f;
    if (*ceOffset >= kBlock || *ceSize > kBlock - *ceOffset) return f;
    const auto block = disc.Read(*ceBlock, 1);
    if (!block) {
      f.unreadable = true;
      return f;
    }
    area.assign(block->begin() + *ceOffset, block->begin() + *ceOffset + *ceSize);
  }
  return f;
}

// The tree the driver shows and how it names its entries.
struct Tree {
  std::uint32_t rootData = 0;
  std::uint32_t rootSize = 0;
  bool rock = false;    // Rock Ridge names where a record has them
  bool joliet = false;  // Joliet names (UCS-2)
  unsigned rockSkip = 0;
  bool caseInsensitive = false;
};

struct RootRecord {
  std::uint32_t data = 0, size = 0;
};

RootRecord RootOf(const unsigned char* descriptor) {
  const unsigned char* root = descriptor + 156;
  return {Le32(root + 2) + root[1], Le32(root + 10)};
}

// The first sector of the session the driver mounts: the last session of a
// multi-session CD, as CDROMMULTISESSION tells; 0 for images and other devices.
std::uint32_t LastSessionStart(const std::filesystem::path& deviceOrImage) {
  struct stat st {};
  if (::stat(deviceOrImage.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return 0;
  const FileDescriptor fd(::open(deviceOrImage.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.IsOpen()) return 0;
  cdrom_multisession info{};
  info.addr_format = CDROM_LBA;
  std::uint32_t start = 0;
  if (::ioctl(fd.Get(), CDROMMULTISESSION, &info) == 0 && info.xa_flag)
    start = static_cast<std::uint32_t>(info.addr.lba);
  return start;
}

std::optional<Tree> ChooseTree(const SectorSource& disc, std::uint32_t sessionStart,
                               const IsoNaming& naming, std::string& whyNot) {
  std::optional<Bytes> primary, joliet;
  int jolietLevel = 0;
  for (std::uint32_t n = sessionStart + 16; n < sessionStart + 100; ++n) {
    auto vd = disc.Read(n, 1);
    if (!vd) {
      whyNot = "cannot read the volume descriptor at sector " + std::to_string(n);
      return std::nullopt;
    }
    const unsigned char* d = vd->data();
    if (std::memcmp(d + 1, "CD001", 5) != 0) {
      if (std::memcmp(d + 9, "CDROM", 5) == 0) {
        whyNot = "a High Sierra disc";
        return std::nullopt;
      }
      continue;
    }
    if (d[0] == 255) break;
    if (d[0] == 1 && !primary)
      primary = std::move(vd);
    else if (d[0] == 2 && d[88] == 0x25 && d[89] == 0x2F) {
      if (naming.joliet && (d[90] == 0x40 || d[90] == 0x43 || d[90] == 0x45)) {
        jolietLevel = 1;
        joliet = std::move(vd);
      }
      break;  // the driver stops at the first Joliet-like descriptor
    }
  }
  if (!primary && !joliet) {
    whyNot = "no ISO 9660 volume descriptor";
    return std::nullopt;
  }
  const bool jolietFirst = jolietLevel && (!primary || !naming.rockRidge);
  const Bytes& chosen = jolietFirst ? *joliet : *primary;
  if (Le16(chosen.data() + 128) != kBlock) {
    whyNot = "a logical block size other than 2048";
    return std::nullopt;
  }
  Tree tree;
  const RootRecord primaryRoot = RootOf(chosen.data());
  tree.rootData = primaryRoot.data;
  tree.rootSize = primaryRoot.size;
  tree.rock = naming.rockRidge;
  bool rockDeclared = false;
  if (tree.rock) {
    // The driver learns about Rock Ridge from the root's "." record.
    const auto first = disc.Read(tree.rootData, 1);
    if (!first || (*first)[0] < 34) {
      whyNot = "cannot read the root directory";
      return std::nullopt;
    }
    const std::size_t length = (*first)[0];
    std::size_t suspStart = 33 + (*first)[32];
    if (suspStart & 1) ++suspStart;
    const Bytes systemUse(first->begin() + static_cast<long>(std::min(suspStart, length)),
                          first->begin() + static_cast<long>(length));
    const RockFields f = ParseRock(disc, systemUse, 0);
    if (!f.spSkip && !f.extensionsRecord && systemUse.size() > 16 && systemUse[14] == 'S' &&
        systemUse[15] == 'P') {
      whyNot = "Rock Ridge fields behind XA attributes";
      return std::nullopt;
    }
    rockDeclared = f.extensionsRecord;
    tree.rockSkip = f.spSkip.value_or(0);
    if (rockDeclared && jolietLevel) {
      // A Rock Ridge disc whose primary root is empty is shown through Joliet.
      std::size_t pos = 0, count = 0;
      while (count < 3 && pos < kBlock && (*first)[pos] != 0) {
        pos += (*first)[pos];
        ++count;
      }
      if (count < 3) rockDeclared = false;
    }
  }
  if (rockDeclared) {
    jolietLevel = 0;
  } else if (jolietLevel) {
    tree.rock = false;
    const RootRecord jolietRoot = RootOf(joliet->data());
    tree.rootData = jolietRoot.data;
    tree.rootSize = jolietRoot.size;
  }
  tree.joliet = jolietLevel != 0;
  if (tree.joliet && !naming.iocharsetUtf8) {
    whyNot = "Joliet names in an iocharset other than utf8";
    return std::nullopt;
  }
  tree.caseInsensitive = naming.check == 'r' || (naming.check == 'u' && tree.joliet);
  return tree;
}

// A name as the driver shows it; nullopt when hidden by the driver.
struct Shown {
  std::optional<std::string> name;  // nullopt: hidden
  bool untranslatable = false;
  std::optional<std::uint32_t> childLink;
};

Shown NameOf(const SectorSource& disc, const Tree& tree, const IsoNaming& naming, const Record& r) {
  Shown shown;
  if (tree.rock) {
    const RockFields f = ParseRock(disc, r.systemUse, tree.rockSkip);
    if (f.relocated) return shown;
    if (f.unreadable || f.nameTooLong) {
      shown.untranslatable = true;
      shown.name = std::string();
      return shown;
    }
    shown.childLink = f.childLink;
    if (!f.name.empty()) {
      shown.name = f.name;
      return shown;
    }
  }
  if (tree.joliet) {
    shown.name = JolietName(r.identifier);
    if (!shown.name) {
      shown.untranslatable = true;
      shown.name = std::string();
    }
    return shown;
  }
  shown.name = PlainIsoName(r.identifier, naming.mapNormal);
  return shown;
}

// Case folding as the driver's case-insensitive lookup does it: the kernel's
// tolower() works on bytes with a Latin-1 table, also inside UTF-8 sequences.
std::string FoldLikeKernel(std::string s) {
  for (char& c : s) {
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7))
      c = static_cast<char>(u + 0x20);
  }
  return s;
}

// One entry as listed: the sections of a file (one record, or several for a
// multi-extent file) under the name the driver shows.
struct Entry {
  std::string name;
  std::vector<Record> sections;
  bool sectionsDisagree = false;  // the sections' names differ
  std::optional<std::uint32_t> childLink;
};

std::optional<std::vector<Entry>> ListDirectory(const SectorSource& disc, const Tree& tree,
                                                const IsoNaming& naming, std::uint32_t lsn,
                                                std::uint32_t size, std::string& whyNot) {
  auto records = ReadDirectory(disc, lsn, size, whyNot);
  if (!records) return std::nullopt;
  std::vector<Entry> entries;
  std::vector<Record> pending;
  for (auto& r : *records) {
    if (IsDotOrDotDot(r)) continue;
    pending.push_back(std::move(r));
    if (pending.back().flags & kFlagMultiExtent) continue;
    std::vector<Record> sections;
    sections.swap(pending);
    const Record& last = sections.back();
    if (naming.hideHidden && (last.flags & kFlagHidden)) continue;
    if (!naming.showAssociated && (last.flags & kFlagAssociated)) continue;
    const Shown shown = NameOf(disc, tree, naming, last);
    if (!shown.name) continue;
    if (shown.untranslatable) {
      whyNot = "a name in the directory at sector " + std::to_string(lsn) +
               " cannot be translated as the driver does";
      return std::nullopt;
    }
    Entry entry;
    entry.name = *shown.name;
    entry.childLink = shown.childLink;
    for (std::size_t i = 0; i + 1 < sections.size(); ++i) {
      const Shown other = NameOf(disc, tree, naming, sections[i]);
      if (!other.name || *other.name != entry.name) entry.sectionsDisagree = true;
    }
    entry.sections = std::move(sections);
    entries.push_back(std::move(entry));
  }
  if (!pending.empty()) {
    whyNot = "a multi-extent file without its last section in the directory at sector " +
             std::to_string(lsn);
    return std::nullopt;
  }
  return entries;
}

const Entry* FindEntry(const std::vector<Entry>& entries, const std::string& component,
                       bool caseInsensitive, std::string& whyNot, bool& notFound) {
  // The path comes from the mounted tree, so under a case-insensitive lookup
  // any entry that folds to the same name is what the driver may open.
  const Entry* found = nullptr;
  int matches = 0;
  const std::string key = FoldLikeKernel(component);
  for (const auto& e : entries) {
    const bool match = caseInsensitive ? FoldLikeKernel(e.name) == key : e.name == component;
    if (!match) continue;
    ++matches;
    if (!found || e.name == component) found = &e;
  }
  if (matches == 0) {
    notFound = true;
    whyNot = "\"" + component + "\" is not in the disc's directory";
    return nullptr;
  }
  if (matches > 1) {
    whyNot = "\"" + component + "\" matches more than one entry of the disc's directory";
    return nullptr;
  }
  if (found->sectionsDisagree) {
    whyNot = "the sections of \"" + component + "\" carry different names";
    return nullptr;
  }
  return found;
}

// Where a directory entry's contents are: its own extent, or, for a moved
// deep directory, the extent of the "." record at its child link.
std::optional<RootRecord> DirectoryOf(const SectorSource& disc, const Entry& e,
                                      std::string& whyNot) {
  if (e.childLink) {
    const auto block = disc.Read(*e.childLink, 1);
    if (!block || (*block)[0] < 34) {
      whyNot = "cannot read a relocated directory";
      return std::nullopt;
    }
    return RootRecord{Le32(block->data() + 2) + (*block)[1], Le32(block->data() + 10)};
  }
  if (!(e.sections.back().flags & kFlagDirectory)) {
    whyNot = "\"" + e.name + "\" is not a directory on the disc";
    return std::nullopt;
  }
  return RootRecord{e.sections.front().data, e.sections.front().size};
}

std::optional<IsoFileExtents> ExtentsOf(const Entry& e, std::string& whyNot) {
  if (e.childLink || (e.sections.back().flags & kFlagDirectory)) {
    whyNot = "\"" + e.name + "\" is a directory on the disc";
    return std::nullopt;
  }
  IsoFileExtents file;
  for (std::size_t i = 0; i < e.sections.size(); ++i) {
    const Record& s = e.sections[i];
    if (s.interleaved) {
      whyNot = "\"" + e.name + "\" is recorded interleaved";
      return std::nullopt;
    }
    // The driver maps whole blocks per section; a short inner section would
    // shift every later byte.
    if (i + 1 < e.sections.size() && s.size % kBlock != 0) {
      whyNot = "a section of \"" + e.name + "\" does not end on a sector boundary";
      return std::nullopt;
    }
    if (s.size == 0) continue;
    file.extents.push_back({static_cast<std::int64_t>(s.data) * kBlock, s.size});
    file.size += s.size;
  }
  return file;
}

bool Utf16ToUtf8(std::string_view be, std::string& out) {
  if (be.size() % 2 != 0) return false;
  for (std::size_t i = 0; i < be.size(); i += 2) {
    const unsigned u =
        static_cast<unsigned char>(be[i]) << 8 | static_cast<unsigned char>(be[i + 1]);
    // Characters outside the basic plane come out differently under the
    // driver's default table and its utf8 option.
    if (u >= 0xD800 && u <= 0xDFFF) return false;
    if (u == 0) return false;
    AppendUtf8(out, u);
  }
  return true;
}

}  // namespace

std::string PlainIsoName(std::string_view identifier, bool mapNormal) {
  if (!mapNormal) return std::string(identifier);
  std::string out;
  const std::size_t len = identifier.size();
  for (std::size_t i = 0; i < len; ++i) {
    char c = identifier[i];
    if (c == '\0') break;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c == '.' && i + 3 == len && identifier[i + 1] == ';' && identifier[i + 2] == '1') break;
    if (c == ';' && i + 2 == len && identifier[i + 1] == '1') break;
    if (c == ';' || c == '/') c = '.';
    out += c;
  }
  return out;
}

std::optional<std::string> JolietName(std::string_view identifier) {
  std::string out;
  if (!Utf16ToUtf8(identifier, out)) return std::nullopt;
  if (out.size() > 2 && out[out.size() - 2] == ';' && out.back() == '1') out.resize(out.size() - 2);
  while (out.size() >= 2 && out.back() == '.') out.pop_back();
  // The driver keeps the length in a byte.
  if (out.size() > 255) return std::nullopt;
  return out;
}

std::optional<IsoNaming> IsoNamingFromMountOptions(std::string_view options, std::string& whyNot) {
  IsoNaming naming;
  for (const auto option : SplitMountOptions(options)) {
    const std::string item(option);
    const auto eq = item.find('=');
    const std::string key = item.substr(0, eq);
    const std::string value = eq == std::string::npos ? std::string() : item.substr(eq + 1);
    if (key == "norock") {
      naming.rockRidge = false;
    } else if (key == "nojoliet") {
      naming.joliet = false;
    } else if (key == "hide") {
      naming.hideHidden = true;
    } else if (key == "showassoc" || key == "unhide") {
      naming.showAssociated = true;
    } else if (key == "map") {
      if (value == "n" || value == "normal") {
        naming.mapNormal = true;
      } else if (value == "o" || value == "off") {
        naming.mapNormal = false;
      } else {
        whyNot = "the mount maps names with map=" + value;
        return std::nullopt;
      }
    } else if (key == "check") {
      if (value == "r" || value == "relaxed")
        naming.check = 'r';
      else if (value == "s" || value == "strict")
        naming.check = 's';
    } else if (key == "iocharset") {
      naming.iocharsetUtf8 = value == "utf8" || value == "utf-8";
    } else if (key == "session" || key == "sbsector") {
      whyNot = "the mount names a session (" + item + ")";
      return std::nullopt;
    } else if (key == "cruft") {
      whyNot = "the mount cuts file sizes (cruft)";
      return std::nullopt;
    }
  }
  return naming;
}

namespace {

// FindIsoFileExtents; notFound tells a path that does not exist under this
// naming (an unknown name, a file where a folder should be) apart from every
// other failure.
std::optional<IsoFileExtents> Find(const std::filesystem::path& deviceOrImage,
                                   const std::filesystem::path& pathOnDisc, const IsoNaming& naming,
                                   std::string& whyNot, bool& notFound) {
  notFound = false;
  const SectorSource disc(deviceOrImage);
  if (!disc.IsOpen()) {
    whyNot = "cannot open " + deviceOrImage.string() + ": " + std::strerror(errno);
    return std::nullopt;
  }
  const auto tree = ChooseTree(disc, LastSessionStart(deviceOrImage), naming, whyNot);
  if (!tree) return std::nullopt;

  std::vector<std::string> components;
  for (const auto& part : pathOnDisc.relative_path()) {
    const std::string s = part.string();
    if (s.empty() || s == ".") continue;
    if (s == "..") {
      whyNot = "a path on the disc with \"..\"";
      return std::nullopt;
    }
    components.push_back(s);
  }
  if (components.empty()) {
    whyNot = "no file named on the disc";
    return std::nullopt;
  }
  RootRecord dir{tree->rootData, tree->rootSize};
  for (std::size_t i = 0; i < components.size(); ++i) {
    const auto entries = ListDirectory(disc, *tree, naming, dir.data, dir.size, whyNot);
    if (!entries) return std::nullopt;
    const Entry* e = FindEntry(*entries, components[i], tree->caseInsensitive, whyNot, notFound);
    if (!e) return std::nullopt;
    // A path through a file, or ending on a folder, cannot be the mounted
    // file's under this naming: as much a miss as an unknown name.
    const bool folder = e->childLink || (e->sections.back().flags & kFlagDirectory);
    if (folder == (i + 1 == components.size())) {
      notFound = true;
      whyNot = "\"" + e->name +
               (folder ? "\" is a directory on the disc" : "\" is not a directory on the disc");
      return std::nullopt;
    }
    if (!folder) return ExtentsOf(*e, whyNot);
    const auto next = DirectoryOf(disc, *e, whyNot);
    if (!next) return std::nullopt;
    dir = *next;
  }
  return std::nullopt;
}

bool SameExtents(const IsoFileExtents& a, const IsoFileExtents& b) {
  if (a.size != b.size || a.extents.size() != b.extents.size()) return false;
  for (std::size_t i = 0; i < a.extents.size(); ++i)
    if (a.extents[i].offset != b.extents[i].offset || a.extents[i].length != b.extents[i].length)
      return false;
  return true;
}

}  // namespace

std::optional<IsoFileExtents> FindIsoFileExtents(const std::filesystem::path& deviceOrImage,
                                                 const std::filesystem::path& pathOnDisc,
                                                 const IsoNaming& naming, std::string& whyNot) {
  bool notFound = false;
  return Find(deviceOrImage, pathOnDisc, naming, whyNot, notFound);
}

std::optional<IsoFileExtents> FindMountedIsoFile(const std::filesystem::path& device,
                                                 const std::filesystem::path& pathOnDisc,
                                                 std::string_view mountOptions,
                                                 std::string& whyNot) {
  const auto naming = IsoNamingFromMountOptions(mountOptions, whyNot);
  if (!naming) return std::nullopt;
  if (naming->rockRidge || !naming->joliet)
    return FindIsoFileExtents(device, pathOnDisc, *naming, whyNot);
  // "norock" alone: Joliet names, or plain names when the mount also said
  // "nojoliet". Take a file only where the other naming cannot mean another.
  IsoNaming plain = *naming;
  plain.joliet = false;
  std::string whyJoliet, whyPlain;
  bool jolietMissing = false, plainMissing = false;
  auto joliet = Find(device, pathOnDisc, *naming, whyJoliet, jolietMissing);
  auto plainFile = Find(device, pathOnDisc, plain, whyPlain, plainMissing);
  if (joliet && plainFile) {
    if (SameExtents(*joliet, *plainFile)) return joliet;
    whyNot = pathOnDisc.string() + " names different files under Joliet and plain names";
    return std::nullopt;
  }
  if (joliet && plainMissing) return joliet;
  if (plainFile && jolietMissing) return plainFile;
  if (joliet || plainFile)
    whyNot = pathOnDisc.string() +
             " is found under one naming, and the other fails: " + (joliet ? whyPlain : whyJoliet);
  else
    whyNot = whyJoliet;
  return std::nullopt;
}

}  // namespace platform
