// RegistryUtils: one accessor per call, defaults instead of errors.

#include "support/uWorkWithRegistry.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "platform/HexText.h"
#include "support/TextCodec.h"
#include "support/uFunctions.h"

using platform::ERegistryException;
using platform::TRegAccess;
using platform::TRegistry;

namespace {

// The report texts of one operation, from the innermost step outwards; an
// empty text means the failure is not reported.
struct TReportTexts {
  std::string inner;   // reading or writing the value failed
  std::string middle;  // setting the root or opening the key raised
  std::string outer;   // the accessor could not be made
};

void Report(const std::string& aText) {
  if (!aText.empty()) WriteErrorMessage(edsSilent, AID_Common_Forms, 1, aText);
}

// Opens key below aRoot and runs aStep on it. aStep returns the result, or
// std::nullopt for "no result, nothing to report"; an exception from it is
// a failed read or write. A key that cannot be opened gives aDefault quietly.
template <typename TResult, typename TStep>
TResult WithKey(HKEY aRoot, TRegAccess anAccess, const std::string& aKey, bool aCanCreate,
                TResult aDefault, const TReportTexts& aTexts, TStep aStep) {
  try {
    TRegistry reg(anAccess);
    try {
      reg.SetRootKey(aRoot);
      if (!reg.OpenKey(aKey, aCanCreate)) return aDefault;
    } catch (const std::exception&) {
      Report(aTexts.middle);
      return aDefault;
    }
    try {
      const std::optional<TResult> result = aStep(reg);
      return result ? *result : aDefault;
    } catch (const std::exception&) {
      Report(aTexts.inner);
      return aDefault;
    }
  } catch (const std::exception&) {
    Report(aTexts.outer);
    return aDefault;
  }
}

// The few format strings here hold indexed placeholders: "%N:s" stands for
// the N-th argument (counted from 0) as text, and may appear more than once
// or not at all; an argument's own text is never searched for placeholders.
std::string FormatIndexed(std::string aFormat, const std::vector<std::string>& anArgs) {
  for (std::size_t i = 0; i < anArgs.size(); ++i) {
    // Appended, not "%" + to_string(i): GCC 12 warns (-Wrestrict) falsely on
    // the insert at the front that operator+ makes of it.
    std::string placeholder = "%";
    placeholder += std::to_string(i);
    placeholder += ":s";
    for (std::size_t at = aFormat.find(placeholder); at != std::string::npos;
         at = aFormat.find(placeholder, at + anArgs[i].size())) {
      aFormat.replace(at, placeholder.size(), anArgs[i]);
    }
  }
  return aFormat;
}

TReportTexts GetStrValueTexts(const std::string& aKey, const std::string& aValue) {
  return {FormatIndexed("[GetStrValue%2:s] can't get value: %0:s of key: %1:s", {aValue, aKey, ""}),
          FormatIndexed("[GetStrValue%1:s] can't open key: %0:s", {aKey, ""}), "[GetStrValue]"};
}

// An absent value is no error for the string readers; another kind is.
std::optional<std::string> ReadStringValue(TRegistry& aReg, const std::string& aValue) {
  if (!aReg.ValueExists(aValue)) return std::nullopt;
  return aReg.ReadString(aValue);
}

std::vector<std::uint8_t> DecodeHexText(const std::string& aValue) {
  std::vector<std::uint8_t> bytes(aValue.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(HexToInt(aValue.substr(2 * i, 2)) & 0xFF);
  }
  return bytes;
}

}  // namespace

std::int32_t RegistryUtils::GetIntegerValueDef(const std::string& key, const std::string& value,
                                               std::int32_t DefValue, HKEY aRoot) {
  return WithKey<std::int32_t>(aRoot, platform::raRead, key, false, DefValue,
                               {"", "", " r.03006_int"},
                               [&](TRegistry& reg) { return reg.ReadInteger(value); });
}

bool RegistryUtils::GetBoolValueDef(const std::string& key, const std::string& value, bool Default,
                                    HKEY aRoot) {
  return WithKey<bool>(aRoot, platform::raRead, key, false, Default, {},
                       [&](TRegistry& reg) { return reg.ReadBool(value); });
}

std::string RegistryUtils::GetStrValueDef(const std::string& key, const std::string& value,
                                          const std::string& sDefault, HKEY aRoot) {
  return WithKey<std::string>(aRoot, platform::raRead, key, false, sDefault,
                              GetStrValueTexts(key, value),
                              [&](TRegistry& reg) { return ReadStringValue(reg, value); });
}

std::string RegistryUtils::GetStrValue(const std::string& key, const std::string& value,
                                       HKEY aRoot) {
  return GetStrValueDef(key, value, "", aRoot);
}

void RegistryUtils::SetStrValue(const std::string& key, const std::string& name,
                                const std::string& value, HKEY aRoot) {
  WithKey<bool>(aRoot, platform::raWrite, key, true, false, {" r.02004", " r.02005", " r.02006"},
                [&](TRegistry& reg) {
                  reg.WriteString(name, value);
                  return true;
                });
}

bool RegistryUtils::GetBoolValue(const std::string& key, const std::string& value, HKEY aRoot) {
  return WithKey<bool>(aRoot, platform::raRead, key, false, false,
                       {" r.03004", " r.03005", " r.03006"},
                       [&](TRegistry& reg) { return reg.ReadBool(value); });
}

void RegistryUtils::SetBoolValue(const std::string& key, const std::string& name, bool value,
                                 HKEY aRoot) {
  WithKey<bool>(aRoot, platform::raWrite, key, true, false, {" r.04004", " r.04005", " r.04006"},
                [&](TRegistry& reg) {
                  reg.WriteBool(name, value);
                  return true;
                });
}

std::int32_t RegistryUtils::GetIntegerValue(const std::string& key, const std::string& value,
                                            HKEY aRoot) {
  return WithKey<std::int32_t>(aRoot, platform::raRead, key, false, 0,
                               {" r.03004_int", " r.03005_int", " r.03006_int"},
                               [&](TRegistry& reg) {
                                 // Unlike the other readers, an absent integer is reported.
                                 if (!reg.ValueExists(value)) {
                                   throw ERegistryException("no value " + value);
                                 }
                                 return reg.ReadInteger(value);
                               });
}

void RegistryUtils::SetIntegerValue(const std::string& key, const std::string& name,
                                    std::int32_t value, HKEY aRoot) {
  WithKey<bool>(aRoot, platform::raWrite, key, true, false,
                {" r.04004_int", " r.04005_int", " r.04006_int"}, [&](TRegistry& reg) {
                  reg.WriteInteger(name, value);
                  return true;
                });
}

bool RegistryUtils::FindKey_Classes(const std::string& key) {
  return WithKey<bool>(
      HKEY_CLASSES_ROOT, platform::raFull, key, false, false,
      {"", FormatIndexed("[FindKey_Classes] can't open key: %0:s", {key}), "[FindKey_Classes]"},
      [](TRegistry&) { return true; });
}

bool RegistryUtils::TestValue(const std::string& key, const std::string& value, HKEY aRoot) {
  return WithKey<bool>(aRoot, platform::raFull, key, true, false,
                       {" r.03004", " r.03005", " r.03006"},
                       [&](TRegistry& reg) { return reg.ValueExists(value); });
}

void RegistryUtils::WriteBinStr(TRegistry& Reg, const std::string& KeyName,
                                const std::string& value) {
  Reg.WriteBinaryData(KeyName, DecodeHexText(value));
}

void RegistryUtils::AppendBinStr(TRegistry& Reg, const std::string& KeyName,
                                 const std::string& value) {
  auto bytes = Reg.ReadBinaryData(KeyName);
  const auto more = DecodeHexText(value);
  bytes.insert(bytes.end(), more.begin(), more.end());
  Reg.WriteBinaryData(KeyName, bytes);
}

std::string RegistryUtils::ReadBinStr(TRegistry& Reg, const std::string& KeyName) {
  return platform::HexText(Reg.ReadBinaryData(KeyName));
}

void RegistryUtils::WriteWideStr(TRegistry& Reg, const std::string& KeyName,
                                 const std::string& value) {
  // The kind is looked up through an accessor of its own that never creates
  // the key, so that a key deleted meanwhile is not brought back here.
  std::uint32_t kind = platform::REG_NONE;
  bool present = false;
  {
    TRegistry probe(platform::raFull);
    probe.SetRootKey(Reg.RootKey());
    if (probe.OpenKey("\\" + Reg.CurrentPath(), false)) present = probe.GetDataKind(KeyName, kind);
  }
  if (!present || kind == platform::REG_BINARY) {
    // The whole text is stored, however long, with one terminating zero unit.
    const std::string utf16 = support::Utf8ToUtf16LE(value);
    std::vector<std::uint8_t> bytes(utf16.begin(), utf16.end());
    bytes.push_back(0);
    bytes.push_back(0);
    Reg.WriteBinaryData(KeyName, bytes);
  } else if (kind == platform::REG_SZ) {
    Reg.WriteString(KeyName, value);
  } else if (kind == platform::REG_EXPAND_SZ) {
    Reg.WriteExpandString(KeyName, value);
  }
}

std::string RegistryUtils::ReadWideStr(TRegistry& Reg, const std::string& KeyName) {
  std::uint32_t kind = platform::REG_NONE;
  if (!Reg.GetDataKind(KeyName, kind)) return "";  // absent: no bytes, no text
  if (kind == platform::REG_SZ || kind == platform::REG_EXPAND_SZ) return Reg.ReadString(KeyName);
  if (kind != platform::REG_BINARY) return "";
  const auto bytes = Reg.ReadBinaryData(KeyName);
  std::string text = support::Utf16LEToUtf8(std::string(bytes.begin(), bytes.end()));
  // The terminating zero and any trailing blanks or control characters go
  // (each is one byte in UTF-8).
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.pop_back();
  return text;
}

std::string RegistryUtils::GetKeyNameByMask(TRegistry& Reg, const std::string& KeyMask) {
  for (const auto& name : Reg.GetValueNames()) {
    // Characters, not bytes: a name may hold any letter.
    const std::u32string chars = support::Utf8ToUtf32(name);
    const std::u32string part = chars.size() > 4 ? chars.substr(4, 4) : std::u32string();
    if (support::Utf32ToUtf8(part) == KeyMask) return name;
  }
  return "";
}
