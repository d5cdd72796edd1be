// velmora-cli version FILE: the "FileVersion" of a program file, as the
// launcher reads it from the installed main program.

#include <iostream>

#include "Command.h"
#include "support/uFileVersion.h"

namespace {

int RunVersion(const std::vector<std::string>& args) {
  if (args.size() != 1) return cli::Fail("usage: velmora-cli version FILE");
  // A file without version information prints an empty line and still
  // succeeds: "no version" is an answer, as it is for the launcher.
  std::cout << GetFileVersion(args[0]) << '\n';
  return 0;
}

const cli::CommandRegistration registration({
    "version",
    "  version FILE        print the file version of a program file (an empty line when it has "
    "none)",
    RunVersion,
});

}  // namespace
