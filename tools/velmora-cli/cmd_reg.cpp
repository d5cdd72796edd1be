// velmora-cli reg: reads and sets registry values without the programs, in
// the manner of Windows' reg.exe (for users and installers, e.g. to record
// "InstallPath" or "LCID" under HKCU\Software\Velmora Free).

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "Command.h"
#include "platform/EscapeForDisplay.h"
#include "platform/HexText.h"
#include "platform/RegistryStore.h"

namespace {

using platform::TRegistry;

const char* const kNotFound =
    "ERROR: The system was unable to find the specified registry key or value.";

struct KeyName {
  platform::HKEY root;
  std::string path;  // below the root, without a leading "\"
};

std::string Upper(std::string aText) {
  for (char& c : aText) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return aText;
}

// "HKCU\Software\Velmora Free", "HKEY_CLASSES_ROOT\.iso", "HKCU".
std::optional<KeyName> ParseKey(const std::string& aKey) {
  const auto slash = aKey.find('\\');
  const std::string root = Upper(aKey.substr(0, slash));
  KeyName key{};
  if (root == "HKCU" || root == "HKEY_CURRENT_USER") {
    key.root = platform::HKEY_CURRENT_USER;
  } else if (root == "HKCR" || root == "HKEY_CLASSES_ROOT") {
    key.root = platform::HKEY_CLASSES_ROOT;
  } else {
    return std::nullopt;
  }
  if (slash != std::string::npos) key.path = aKey.substr(slash + 1);
  return key;
}

// The switches after KEY: /v NAME, /ve, /t TYPE, /d DATA, /f.
struct Switches {
  std::optional<std::string> value;  // "" for /ve, the unnamed value
  std::optional<std::string> type;
  std::optional<std::string> data;
  std::string error;
};

Switches ParseSwitches(const std::vector<std::string>& args, std::size_t aFrom) {
  Switches s;
  for (std::size_t i = aFrom; i < args.size(); ++i) {
    const std::string sw = Upper(args[i]);
    auto operand = [&](std::optional<std::string>& aTarget) {
      if (i + 1 >= args.size()) {
        s.error = args[i] + " needs an argument";
      } else {
        aTarget = args[++i];
      }
    };
    if (sw == "/V" || sw == "-V") {
      operand(s.value);
    } else if (sw == "/VE" || sw == "-VE") {
      s.value = "";
    } else if (sw == "/T" || sw == "-T") {
      operand(s.type);
    } else if (sw == "/D" || sw == "-D") {
      operand(s.data);
    } else if (sw == "/F" || sw == "-F") {
      // Nothing is ever asked, so forcing changes nothing.
    } else {
      s.error = "unknown switch \"" + args[i] + "\"";
    }
    if (!s.error.empty()) break;
  }
  return s;
}

std::optional<std::vector<std::uint8_t>> ParseHex(const std::string& aText) {
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (aText.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < aText.size(); i += 2) {
    const int hi = digit(aText[i]);
    const int lo = digit(aText[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
  }
  return bytes;
}

// Decimal or 0x-hexadecimal, 0 to 4294967295.
std::optional<std::uint32_t> ParseDword(const std::string& aText) {
  const bool hex = aText.size() > 2 && aText[0] == '0' && (aText[1] == 'x' || aText[1] == 'X');
  const std::string digits = hex ? aText.substr(2) : aText;
  if (digits.empty() || digits.size() > 10) return std::nullopt;
  std::uint64_t v = 0;
  for (const char c : digits) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d < 0) return std::nullopt;
    v = v * (hex ? 16 : 10) + static_cast<std::uint64_t>(d);
  }
  if (v > 0xFFFFFFFFu) return std::nullopt;
  return static_cast<std::uint32_t>(v);
}

std::string DataText(TRegistry& aReg, const std::string& aName, std::uint32_t aKind) {
  switch (aKind) {
    case platform::REG_SZ:
    case platform::REG_EXPAND_SZ:
      return platform::EscapeForDisplay(aReg.ReadString(aName));
    case platform::REG_DWORD: {
      char text[16];
      std::snprintf(text, sizeof text, "0x%x", static_cast<std::uint32_t>(aReg.ReadInteger(aName)));
      return text;
    }
    default:
      return platform::HexText(aReg.ReadRawData(aName));
  }
}

void PrintValue(TRegistry& aReg, const std::string& aName) {
  std::uint32_t kind = 0;
  aReg.GetDataKind(aName, kind);
  std::cout << "    " << (aName.empty() ? "(Default)" : platform::EscapeForDisplay(aName)) << "    "
            << platform::RegTypeName(kind) << "    " << DataText(aReg, aName, kind) << '\n';
}

// The key's names escaped one by one, so that the "\\" between them stays.
std::string ShownPath(const std::string& aPath) {
  std::string shown;
  for (std::size_t start = 0;;) {
    const auto end = aPath.find('\\', start);
    shown += platform::EscapeForDisplay(aPath.substr(start, end - start));
    if (end == std::string::npos) return shown;
    shown += '\\';
    start = end + 1;
  }
}

std::string FullName(const KeyName& aKey, const std::string& aStoredPath) {
  const std::string root = platform::RootKeyName(aKey.root);
  return aStoredPath.empty() ? root : root + '\\' + ShownPath(aStoredPath);
}

int Query(const KeyName& aKey, const Switches& aSwitches) {
  TRegistry reg(platform::raRead);
  reg.SetRootKey(aKey.root);
  if (!reg.OpenKey("\\" + aKey.path, false)) return cli::Fail(kNotFound);
  const std::string full = FullName(aKey, reg.CurrentPath());
  if (aSwitches.value) {
    // The name is printed as stored, whatever case it was asked in.
    const auto names = reg.GetValueNames();
    const auto it = std::find_if(names.begin(), names.end(), [&](const std::string& n) {
      return platform::SameRegistryName(n, *aSwitches.value);
    });
    if (it == names.end()) return cli::Fail(kNotFound);
    std::cout << '\n' << full << '\n';
    PrintValue(reg, *it);
    std::cout << '\n';
    return 0;
  }
  std::cout << '\n' << full << '\n';
  for (const auto& name : reg.GetValueNames()) PrintValue(reg, name);
  std::cout << '\n';
  for (const auto& sub : reg.GetKeyNames())
    std::cout << full << '\\' << platform::EscapeForDisplay(sub) << '\n';
  return 0;
}

int Add(const KeyName& aKey, const Switches& aSwitches) {
  if (aKey.path.empty() && !aSwitches.value) return cli::Fail("a root key cannot be added");
  if ((aSwitches.type || aSwitches.data) && !aSwitches.value) {
    return cli::Fail("/t and /d need a value name (/v NAME or /ve)");
  }
  // The data is checked before anything is written, so a mistyped command
  // leaves the store as it was.
  const std::string type = Upper(aSwitches.type.value_or("REG_SZ"));
  const std::string data = aSwitches.data.value_or("");
  std::function<void(TRegistry&, const std::string&)> write;
  if (type == "REG_SZ") {
    write = [&](TRegistry& r, const std::string& n) { r.WriteString(n, data); };
  } else if (type == "REG_EXPAND_SZ") {
    write = [&](TRegistry& r, const std::string& n) { r.WriteExpandString(n, data); };
  } else if (type == "REG_DWORD") {
    const auto v = ParseDword(data.empty() ? "0" : data);
    if (!v) {
      return cli::Fail("ERROR: Invalid REG_DWORD data \"" + data +
                       "\" (decimal or 0x-hexadecimal, 0 to 4294967295).");
    }
    write = [v](TRegistry& r, const std::string& n) {
      r.WriteInteger(n, static_cast<std::int32_t>(*v));
    };
  } else if (type == "REG_BINARY") {
    const auto bytes = ParseHex(data);
    if (!bytes) {
      return cli::Fail("ERROR: Invalid REG_BINARY data \"" + data +
                       "\" (pairs of hexadecimal digits).");
    }
    write = [bytes](TRegistry& r, const std::string& n) { r.WriteBinaryData(n, *bytes); };
  } else {
    return cli::Fail("ERROR: Invalid type \"" + *aSwitches.type +
                     "\" (REG_SZ, REG_EXPAND_SZ, REG_DWORD or REG_BINARY).");
  }
  TRegistry reg(platform::raWrite);
  reg.SetRootKey(aKey.root);
  if (!reg.OpenKey("\\" + aKey.path, true)) return cli::Fail("ERROR: Invalid key name.");
  if (aSwitches.value) write(reg, *aSwitches.value);
  std::cout << "The operation completed successfully.\n";
  return 0;
}

int Delete(const KeyName& aKey, const Switches& aSwitches) {
  TRegistry reg(platform::raWrite);
  reg.SetRootKey(aKey.root);
  if (aSwitches.value) {
    if (!reg.OpenKey("\\" + aKey.path, false) || !reg.DeleteValue(*aSwitches.value)) {
      return cli::Fail(kNotFound);
    }
  } else {
    if (aKey.path.empty()) return cli::Fail("a root key cannot be deleted");
    if (!reg.DeleteKey("\\" + aKey.path)) return cli::Fail(kNotFound);
  }
  std::cout << "The operation completed successfully.\n";
  return 0;
}

int RunReg(const std::vector<std::string>& args) {
  if (args.size() < 2) return cli::Fail("reg needs an operation and a key; see velmora-cli help");
  const std::string operation = Upper(args[0]);
  const auto key = ParseKey(args[1]);
  if (!key)
    return cli::Fail("ERROR: Invalid key name \"" + args[1] + "\" (HKCU\\... or HKCR\\...).");
  const Switches switches = ParseSwitches(args, 2);
  if (!switches.error.empty()) return cli::Fail("ERROR: " + switches.error);
  if (operation == "QUERY") return Query(*key, switches);
  if (operation == "ADD") return Add(*key, switches);
  if (operation == "DELETE") return Delete(*key, switches);
  return cli::Fail("unknown reg operation \"" + args[0] + "\" (query, add or delete)");
}

const cli::CommandRegistration kRegistration{cli::Command{
    "reg",
    "  reg query KEY [/v NAME | /ve]\n"
    "  reg add KEY [/v NAME | /ve] [/t REG_SZ|REG_EXPAND_SZ|REG_DWORD|REG_BINARY] [/d DATA] [/f]\n"
    "  reg delete KEY [/v NAME | /ve] [/f]\n"
    "      KEY is HKCU\\PATH or HKCR\\PATH; REG_DWORD data is decimal or 0x-hexadecimal,\n"
    "      REG_BINARY data hexadecimal digits (\"0AFF\"); query prints names and string\n"
    "      data escaped as scan prints names (\\\\ \\t \\n \\r \\xHH), one value a line",
    RunReg}};

}  // namespace
