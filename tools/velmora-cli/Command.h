#pragma once
// velmora-cli subcommands. Each cmd_*.cpp registers its command with a
// static CommandRegistration, so adding a command touches no other file.

#include <functional>
#include <string>
#include <vector>

namespace cli {

// Arguments after the command word. Returns the process exit status.
using CommandFunction = std::function<int(const std::vector<std::string>& args)>;

struct Command {
  std::string name;   // the command word ("reg", "version", ...)
  std::string usage;  // one or more usage lines, shown by "velmora-cli help"
  CommandFunction run;
};

struct CommandRegistration {
  explicit CommandRegistration(Command command);
};

// Prints "velmora-cli: <message>" to standard error and returns 1.
int Fail(const std::string& message);

}  // namespace cli
