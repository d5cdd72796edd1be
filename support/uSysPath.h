#pragma once
// The special-folder table: fifty named folders of the platform, used to
// expand a leading folder token ("*LOCAL_APPDATA*/Velmora Free") into a real
// path and to fold a real path back into one.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/SpecialFolders.h"

// One entry of the table.
struct TSysPath {
  std::string Name;         // token name, upper case: "LOCAL_APPDATA"
  std::uint16_t CSIDL = 0;  // the shell's identifier of the folder
  std::string Path;         // the folder on this machine; "" when it has none
};

class TSysPaths {
 public:
  // Builds the fifty entries in their fixed order and asks the platform for each path.
  explicit TSysPaths(const platform::ISpecialFolders& folders = platform::SystemSpecialFolders());

  int Count() const { return static_cast<int>(FItems.size()); }
  const TSysPath& Get(int Index) const;  // throws std::out_of_range
  void Put(int Index, TSysPath Item);    // replaces the entry at Index

  // Expands a token at the start of aPath, delimited by NT: a path without NT
  // comes back unchanged; a malformed or unknown token gives "".
  std::string AnnouncePath(const std::string& aPath, char NT) const;
  // Replaces the longest known folder at the start of aPath by its token.
  std::string DenouncePath(const std::string& aPath, char NT) const;

 private:
  std::vector<TSysPath> FItems;
};

// The process-wide table, built on first use and kept for the program's life.
TSysPaths& SysPaths();
// Builds the process-wide table anew (tests and start-up code that changed the environment).
void RebuildSysPaths();
