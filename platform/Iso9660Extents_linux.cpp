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

#include <cerrno>
#include <cstring>

#include "platform/IsoDisc_linux.h"

namespace platform {

using namespace isodisc;

namespace {

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
    if (!block || (*block)[record::kLength] < record::kMinLength) {
      whyNot = "cannot read a relocated directory";
      return std::nullopt;
    }
    return ExtentOf(block->data());
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

}  // namespace

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
