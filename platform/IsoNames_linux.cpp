// The names the driver shows for a record: Rock Ridge, Joliet (dir.c,
// joliet.c) or plain ISO 9660 names, and the mount options that choose them.

#include "platform/IsoDisc_linux.h"
#include "platform/MountTable.h"
#include "platform/Unicode.h"

namespace platform {

namespace {

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

namespace isodisc {

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

std::string FoldLikeKernel(std::string s) {
  for (char& c : s) {
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7))
      c = static_cast<char>(u + 0x20);
  }
  return s;
}

}  // namespace isodisc

}  // namespace platform
