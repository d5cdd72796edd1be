// velmora-cli: Velmora Free's command-line tool for users, installers and
// scripts. See the README for its commands.

#include <cstdio>
#include <iostream>
#include <map>

#include "Command.h"
#include "engine/BadFileRestorator.h"
#include "support/uFunctions.h"

namespace cli {

namespace {
std::map<std::string, Command>& Commands() {
  static std::map<std::string, Command> commands;
  return commands;
}

void PrintUsage(std::ostream& out) {
  out << "usage: velmora-cli COMMAND [ARGUMENTS]\n";
  for (const auto& [name, command] : Commands()) out << command.usage << '\n';
}
}  // namespace

CommandRegistration::CommandRegistration(Command command) {
  auto name = command.name;
  Commands().emplace(std::move(name), std::move(command));
}

int Fail(const std::string& message) {
  std::cerr << "velmora-cli: " << message << '\n';
  return 1;
}

}  // namespace cli

int main(int argc, char** argv) {
  InitProductDataFolder();
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
    cli::PrintUsage(args.empty() ? std::cerr : std::cout);
    return args.empty() ? 1 : 0;
  }
  const auto it = cli::Commands().find(args[0]);
  if (it == cli::Commands().end()) {
    cli::PrintUsage(std::cerr);
    return cli::Fail("unknown command \"" + args[0] + "\"");
  }
  args.erase(args.begin());
  try {
    return it->second.run(args);
  } catch (const std::exception& e) {
    return cli::Fail(FailureText(e));  // with the system's reason where known
  }
}
