#pragma once
// Runs a program of the build (velmora-cli, the test file system) as a child
// process and collects what it printed.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult {
  int exitCode = -1;  // the exit status, or 128 + signal number
  std::string out;    // standard output
  std::string err;    // standard error
};

// Runs argv[0] (a path, or a name searched in PATH) with the given arguments
// and extra environment, and waits for it.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env = {});

// The folder of the built programs (VELMORA_BIN_DIR, else the build's bin/).
std::filesystem::path BinDir();

}  // namespace testsupport
