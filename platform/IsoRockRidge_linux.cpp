// Rock Ridge fields of a directory record, read as the driver's rock.c reads
// them.

#include <algorithm>
#include <cstring>

#include "platform/IsoDisc_linux.h"

namespace platform::isodisc {

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

}  // namespace platform::isodisc
