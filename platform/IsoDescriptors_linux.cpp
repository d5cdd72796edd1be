// The choice of volume descriptor and tree, as the driver's inode.c makes it:
// primary or Joliet, Rock Ridge declared by the root's "." record.

#include <algorithm>
#include <cstring>

#include "platform/IsoDisc_linux.h"

namespace platform::isodisc {

RootRecord ExtentOf(const unsigned char* aRecord) {
  return {Le32(aRecord + record::kExtentLocation) + aRecord[record::kExtendedAttributeLength],
          Le32(aRecord + record::kDataLength)};
}

RootRecord RootOf(const unsigned char* aDescriptor) {
  return ExtentOf(aDescriptor + descriptor::kRootDirectoryRecord);
}

std::optional<Tree> ChooseTree(const SectorSource& disc, std::uint32_t sessionStart,
                               const IsoNaming& naming, std::string& whyNot) {
  std::optional<Bytes> primary, joliet;
  int jolietLevel = 0;
  for (std::uint32_t n = sessionStart + descriptor::kFirstSector;
       n < sessionStart + descriptor::kScanEnd; ++n) {
    auto vd = disc.Read(n, 1);
    if (!vd) {
      whyNot = "cannot read the volume descriptor at sector " + std::to_string(n);
      return std::nullopt;
    }
    const unsigned char* d = vd->data();
    if (std::memcmp(d + descriptor::kStandardIdentifier, "CD001", 5) != 0) {
      if (std::memcmp(d + descriptor::kHighSierraIdentifier, "CDROM", 5) == 0) {
        whyNot = "a High Sierra disc";
        return std::nullopt;
      }
      continue;
    }
    const unsigned char type = d[descriptor::kType];
    const unsigned char* escapes = d + descriptor::kEscapeSequences;
    if (type == descriptor::kTypeSetTerminator) break;
    if (type == descriptor::kTypePrimary && !primary)
      primary = std::move(vd);
    else if (type == descriptor::kTypeSupplementary && escapes[0] == '%' && escapes[1] == '/') {
      // UCS-2 levels 1, 2 and 3
      if (naming.joliet && (escapes[2] == '@' || escapes[2] == 'C' || escapes[2] == 'E')) {
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
  if (Le16(chosen.data() + descriptor::kLogicalBlockSize) != kBlock) {
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
    if (!first || (*first)[record::kLength] < record::kMinLength) {
      whyNot = "cannot read the root directory";
      return std::nullopt;
    }
    const std::size_t length = (*first)[record::kLength];
    std::size_t suspStart = record::kFileIdentifier + (*first)[record::kFileIdentifierLength];
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

}  // namespace platform::isodisc
