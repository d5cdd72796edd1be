#pragma once
// Settings archives for the tests, made the two ways a site would make them:
// Info-ZIP's `zip -P` (traditional PKWARE encryption) and libzip.

#include <string>
#include <vector>

namespace launchertest {

struct TEntry {
  std::string name;
  std::string bytes;
};

// `zip -q -j -P password [-0] archive entries...`: stored (-0) or deflated.
std::string ZipWithPassword(const std::vector<TEntry>& entries, const std::string& password,
                            bool stored = false);

// libzip's writer: deflated entries, encrypted with AES-256 when a password is given
// (the libzip of Debian 12 writes no traditional encryption).
std::string LibzipArchive(const std::vector<TEntry>& entries, const std::string& password);

// A settings document with one product entry per (name, version, url).
std::string SettingsXml(const std::string& version, const std::string& setupUrl,
                        const std::string& name = "Velmora Free");

}  // namespace launchertest
