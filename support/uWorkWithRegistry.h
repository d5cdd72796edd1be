#pragma once
// Registry access for both programs. The operations that open their own
// accessor never raise: every failure gives the operation's default result,
// and most failures also leave a silent line in the error log ("Err.log").
// A key that cannot be opened is never reported. The operations on a
// caller's accessor let registry errors (platform::ERegistryException) pass.
//
// Key paths use "\" between names; a leading "\" changes nothing. Texts are
// UTF-8.

#include <cstdint>
#include <string>

#include "platform/RegistryStore.h"

using platform::HKEY;
using platform::HKEY_CLASSES_ROOT;
using platform::HKEY_CURRENT_USER;

class RegistryUtils {
 public:
  RegistryUtils() = delete;

  // Reading: the key is opened read-only and never created.
  static std::int32_t GetIntegerValueDef(const std::string& key, const std::string& value,
                                         std::int32_t DefValue, HKEY aRoot = HKEY_CURRENT_USER);
  static bool GetBoolValueDef(const std::string& key, const std::string& value, bool Default,
                              HKEY aRoot = HKEY_CURRENT_USER);
  static std::string GetStrValueDef(const std::string& key, const std::string& value,
                                    const std::string& sDefault, HKEY aRoot = HKEY_CURRENT_USER);
  static std::string GetStrValue(const std::string& key, const std::string& value,
                                 HKEY aRoot = HKEY_CURRENT_USER);
  static bool GetBoolValue(const std::string& key, const std::string& value,
                           HKEY aRoot = HKEY_CURRENT_USER);
  // 0 when absent (reported, unlike the other reads) or not an integer.
  static std::int32_t GetIntegerValue(const std::string& key, const std::string& value,
                                      HKEY aRoot = HKEY_CURRENT_USER);

  // Writing: the key is created when missing.
  static void SetStrValue(const std::string& key, const std::string& name, const std::string& value,
                          HKEY aRoot = HKEY_CURRENT_USER);
  static void SetBoolValue(const std::string& key, const std::string& name, bool value,
                           HKEY aRoot = HKEY_CURRENT_USER);
  static void SetIntegerValue(const std::string& key, const std::string& name, std::int32_t value,
                              HKEY aRoot = HKEY_CURRENT_USER);

  // Whether the key exists below HKEY_CLASSES_ROOT.
  static bool FindKey_Classes(const std::string& key);
  // Whether the value exists; creates the key when missing.
  static bool TestValue(const std::string& key, const std::string& value,
                        HKEY aRoot = HKEY_CURRENT_USER);

  // On the open key of Reg. Hexadecimal text: two digits per byte, an odd
  // last digit ignored, an invalid pair stored as 0xFF.
  static void WriteBinStr(platform::TRegistry& Reg, const std::string& KeyName,
                          const std::string& value);
  // Appends to an existing binary value.
  static void AppendBinStr(platform::TRegistry& Reg, const std::string& KeyName,
                           const std::string& value);
  // Two upper-case digits per byte.
  static std::string ReadBinStr(platform::TRegistry& Reg, const std::string& KeyName);
  // A string value stays a string; otherwise the text goes in as UTF-16LE
  // bytes with a terminating zero unit (binary). Values of other kinds are
  // left alone.
  static void WriteWideStr(platform::TRegistry& Reg, const std::string& KeyName,
                           const std::string& value);
  static std::string ReadWideStr(platform::TRegistry& Reg, const std::string& KeyName);
  // The first value name whose characters 5 to 8 are KeyMask (case counts); "" when none.
  static std::string GetKeyNameByMask(platform::TRegistry& Reg, const std::string& KeyMask);
};
