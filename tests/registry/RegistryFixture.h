#pragma once
// Every registry test runs in an isolated home: its own store file
// ($XDG_CONFIG_HOME/Velmora Free/registry.sqlite3) and its own error log.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "platform/RegistryStore.h"

namespace regtest {

class RegistryFixture : public ::testing::Test {
 protected:
  RegistryFixture();
  ~RegistryFixture() override;

  // The lines of Err.log, decoded from UTF-16LE, without CR LF.
  std::vector<std::string> ErrLogLines() const;
  std::string ErrLogPathForTest() const;
  // The log texts of the lines: what follows "Common_Forms:0001 ".
  std::vector<std::string> ReportedTexts() const;

  // An accessor with full rights, open (created) on aKey of HKEY_CURRENT_USER.
  static platform::TRegistry& Open(platform::TRegistry& aReg, const std::string& aKey,
                                   platform::HKEY aRoot = platform::HKEY_CURRENT_USER);

  testsupport::IsolatedHome FHome;
  std::string FOldProductDataFolder;
};

inline const std::string kProductKey = "\\Software\\Velmora Free";

}  // namespace regtest
