#include "FaultDisc.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "RunProcess.h"
#include "platform/FileDescriptor.h"

namespace testsupport {

namespace {

using namespace std::chrono_literals;

constexpr auto MountTimeout = 20s;
constexpr auto ExitTimeout = 10s;
constexpr auto PollInterval = 5ms;

// The way velmora-faultfs writes a path in its stats and trace.
std::string QuotePath(const std::string& path) {
  if (!path.empty() && path.find_first_of(" \t\r\"\\#") == std::string::npos) return path;
  std::string quoted = "\"";
  for (const char c : path) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + '"';
}

std::string UnquotePath(const std::string& token) {
  if (token.size() < 2 || token.front() != '"') return token;
  std::string path;
  for (std::size_t i = 1; i + 1 < token.size(); ++i) {
    if (token[i] == '\\') ++i;
    path += token[i];
  }
  return path;
}

// Splits off the last `count` blank-separated fields of a line.
bool SplitLast(std::string line, std::size_t count, std::string& head,
               std::vector<std::string>& fields) {
  fields.assign(count, {});
  for (std::size_t i = count; i-- > 0;) {
    const auto blank = line.rfind(' ');
    if (blank == std::string::npos) return false;
    fields[i] = line.substr(blank + 1);
    line.resize(blank);
  }
  head = line;
  return true;
}

// /proc/self/mountinfo writes blanks, tabs, newlines and backslashes as \ooo.
std::string UnescapeMountField(const std::string& field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      text += static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8));
      i += 3;
    } else {
      text += field[i];
    }
  }
  return text;
}

bool WaitForExit(pid_t pid, std::chrono::milliseconds timeout, int& status) {
  for (auto waited = 0ms; waited < timeout; waited += PollInterval) {
    if (::waitpid(pid, &status, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(PollInterval);
  }
  return false;
}

std::string ExitText(int status) {
  return WIFEXITED(status) ? "exited with status " + std::to_string(WEXITSTATUS(status))
                           : "died of signal " + std::to_string(WTERMSIG(status));
}

}  // namespace

std::string MountedFsType(const std::filesystem::path& mountPoint) {
  std::ifstream in("/proc/self/mountinfo");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, parent, device, root, point, word;
    fields >> id >> parent >> device >> root >> point;
    if (UnescapeMountField(point) != mountPoint.string()) continue;
    while (fields >> word && word != "-") {
    }
    std::string type;
    fields >> type;
    return type;
  }
  return {};
}

FaultDisc::FaultDisc(const std::filesystem::path& source, const std::string& faults,
                     const FaultDiscOptions& options) {
  try {
    start(source, faults, options);
    waitUntilMounted();
  } catch (...) {
    unmount();
    throw;
  }
}

FaultDisc::~FaultDisc() { unmount(); }

void FaultDisc::start(const std::filesystem::path& source, const std::string& faults,
                      const FaultDiscOptions& options) {
  if (!std::filesystem::exists("/dev/fuse"))
    throw std::runtime_error("/dev/fuse missing: cannot mount the test file system");
  const auto program = BinDir() / "velmora-faultfs";
  if (!std::filesystem::exists(program))
    throw std::runtime_error(program.string() + " missing: build the velmora-faultfs target");
  std::filesystem::create_directory(FWork / "disc");
  FMountPoint = std::filesystem::canonical(FWork / "disc");
  WriteFileBytes(FWork / "faults", faults);

  std::vector<std::string> args = {
      program.string(), "-f", "--faults", (FWork / "faults").string(), "--stats",
      (FWork / "stats").string(), "--read-delay-us", std::to_string(options.readDelay.count()),
      "--fail-delay-us", std::to_string(options.failDelay.count()),
      // Should this process die without unmounting, fusermount3 unmounts.
      "-o", "auto_unmount"};
  if (options.trace) args.insert(args.end(), {"--trace", (FWork / "trace").string()});
  if (!options.subtype.empty()) args.insert(args.end(), {"-o", "subtype=" + options.subtype});
  if (!options.fsname.empty()) args.insert(args.end(), {"-o", "fsname=" + options.fsname});
  args.insert(args.end(), options.extraArgs.begin(), options.extraArgs.end());
  args.insert(args.end(), {source.string(), FMountPoint.string()});

  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  // Closed in this process when it returns; the child keeps its copies.
  const platform::FileDescriptor logFd(
      ::open((FWork / "log").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  const platform::FileDescriptor nullFd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  if (!logFd.IsOpen() || !nullFd.IsOpen())
    throw std::runtime_error("cannot create the file system's log");
  const pid_t parent = ::getpid();
  FPid = ::fork();
  if (FPid == 0) {
    // The file system goes (and unmounts) when the test process dies.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    ::dup2(nullFd.Get(), 0);
    ::dup2(logFd.Get(), 1);
    ::dup2(logFd.Get(), 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  if (FPid < 0) throw std::runtime_error("cannot start velmora-faultfs: fork failed");
}

void FaultDisc::waitUntilMounted() {
  for (auto waited = 0ms; waited < MountTimeout; waited += PollInterval) {
    if (!MountedFsType(FMountPoint).empty()) return;
    int status = 0;
    if (::waitpid(FPid, &status, WNOHANG) == FPid) {
      FPid = -1;
      throw std::runtime_error("velmora-faultfs " + ExitText(status) + " before mounting " +
                               FMountPoint.string() + ": " + errorOutput());
    }
    std::this_thread::sleep_for(PollInterval);
  }
  throw std::runtime_error("velmora-faultfs did not mount " + FMountPoint.string() + " in " +
                           std::to_string(MountTimeout.count()) + " s: " + errorOutput());
}

std::string FaultDisc::errorOutput() const {
  const std::string text = ReadFileBytes(FWork / "log");
  return text.empty() ? "(no output)" : text;
}

void FaultDisc::unmount() {
  if (FPid <= 0) return;
  bool lazy = false;
  try {
    if (!MountedFsType(FMountPoint).empty() &&
        RunProcess({"fusermount3", "-u", "-q", FMountPoint.string()}).exitCode != 0) {
      // Busy (a file still open): detach now, the kernel lets go when it closes.
      RunProcess({"umount", "-l", FMountPoint.string()});
      lazy = true;
    }
  } catch (const std::exception&) {
    lazy = true;
  }
  int status = 0;
  // After a lazy unmount the process serves the open files on: end it.
  if (lazy) ::kill(FPid, SIGTERM);
  if (!WaitForExit(FPid, ExitTimeout, status)) {
    ::kill(FPid, SIGKILL);
    ::waitpid(FPid, &status, 0);
  }
  FPid = -1;
  if (!MountedFsType(FMountPoint).empty()) {
    try {
      RunProcess({"umount", "-l", FMountPoint.string()});
    } catch (const std::exception&) {
    }
  }
}

RangeAttempts FaultDisc::attempts(const std::string& path, std::uint64_t start,
                                  std::uint64_t end) const {
  const std::string wanted = "range " + QuotePath(path);
  std::istringstream in(ReadFileBytes(FWork / "stats"));
  std::string line, head;
  std::vector<std::string> fields;
  while (std::getline(in, line)) {
    if (!SplitLast(line, 4, head, fields) || head != wanted) continue;
    if (std::stoull(fields[0]) != start || std::stoull(fields[1]) != end) continue;
    return {std::stoull(fields[2]), std::stoull(fields[3])};
  }
  throw std::runtime_error("no bad range " + path + " " + std::to_string(start) + " " +
                           std::to_string(end) + " in the fault list");
}

std::vector<ReadRequest> FaultDisc::requests() const {
  std::vector<ReadRequest> requests;
  std::istringstream in(ReadFileBytes(FWork / "trace"));
  std::string line, head;
  std::vector<std::string> fields;
  while (std::getline(in, line)) {
    if (!SplitLast(line, 3, head, fields)) continue;
    requests.push_back({UnquotePath(head), std::stoull(fields[0]), std::stoull(fields[1]),
                        fields[2] == "EIO" ? -EIO : std::stoll(fields[2])});
  }
  return requests;
}

}  // namespace testsupport
