#pragma once
// The "LCID" value of the product key as a test stores it: absent, a 32-bit
// integer, or (wrongly) a string.

#include <cstdint>
#include <string>
#include <variant>

#include <gtest/gtest.h>

#include "RegistryFixture.h"

namespace regtest {

using StoredLcid = std::variant<std::monostate, std::int32_t, std::string>;

// Creates the product key and stores aLcid in it (nothing for an absent one).
inline void StoreLcid(const StoredLcid& aLcid) {
  platform::TRegistry reg;
  reg.SetRootKey(platform::HKEY_CURRENT_USER);
  EXPECT_TRUE(reg.OpenKey(kProductKey, true));
  if (const auto* number = std::get_if<std::int32_t>(&aLcid)) reg.WriteInteger("LCID", *number);
  if (const auto* text = std::get_if<std::string>(&aLcid)) reg.WriteString("LCID", *text);
}

}  // namespace regtest
