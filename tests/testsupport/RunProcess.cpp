#include "RunProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "platform/FileDescriptor.h"

extern char** environ;

namespace testsupport {

namespace {

using platform::FileDescriptor;

// Reads both pipes until each reaches its end, closing each as it does.
void DrainBoth(FileDescriptor& outFd, FileDescriptor& errFd, std::string& out, std::string& err) {
  FileDescriptor* ends[2] = {&outFd, &errFd};
  std::string* texts[2] = {&out, &err};
  char buffer[65536];
  while (outFd.IsOpen() || errFd.IsOpen()) {
    // poll() passes over the negative descriptor of a pipe already closed.
    pollfd fds[2] = {{outFd.Get(), POLLIN, 0}, {errFd.Get(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0)
        texts[i]->append(buffer, static_cast<std::size_t>(n));
      else
        ends[i]->Reset();
    }
  }
}

// A pipe's read and write ends.
struct Pipe {
  FileDescriptor readEnd, writeEnd;
};

Pipe MakePipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  return {FileDescriptor(fds[0]), FileDescriptor(fds[1])};
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env) {
  Pipe outPipe = MakePipe();
  Pipe errPipe = MakePipe();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe.writeEnd.Get(), 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe.writeEnd.Get(), 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);

  std::map<std::string, std::string> merged;
  for (char** e = environ; *e; ++e) {
    std::string kv(*e);
    const auto eq = kv.find('=');
    if (eq != std::string::npos) merged[kv.substr(0, eq)] = kv.substr(eq + 1);
  }
  for (const auto& [k, v] : env) merged[k] = v;
  std::vector<std::string> envStrings;
  for (const auto& [k, v] : merged) envStrings.push_back(k + "=" + v);
  std::vector<char*> envp, args;
  for (auto& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argCopy = argv;
  for (auto& s : argCopy) args.push_back(s.data());
  args.push_back(nullptr);

  pid_t pid = 0;
  const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  // Only the child writes: the reads below end when it exits.
  outPipe.writeEnd.Reset();
  errPipe.writeEnd.Reset();
  ProcessResult result;
  if (rc != 0) {
    result.exitCode = 127;
    result.err = "cannot start " + argv.at(0);
    return result;
  }
  DrainBoth(outPipe.readEnd, errPipe.readEnd, result.out, result.err);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

std::filesystem::path BinDir() {
  // The build's own folder when the variable is missing: gtest_discover_tests
  // splits a two-variable ENVIRONMENT list, so CTest may not pass it on.
  const char* dir = std::getenv("VELMORA_BIN_DIR");
  return dir ? dir : VELMORA_DEFAULT_BIN_DIR;
}

}  // namespace testsupport
