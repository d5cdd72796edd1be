#include "ForkedSteps.h"

#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace testsupport {

namespace {

bool ReadByte(int fd) {
  char c = 0;
  ssize_t n;
  while ((n = ::read(fd, &c, 1)) < 0 && errno == EINTR) {
  }
  return n == 1;
}

void WriteByte(int fd) {
  const char c = 1;
  // MSG_NOSIGNAL: a child already gone must not take the test down with SIGPIPE.
  while (::send(fd, &c, 1, MSG_NOSIGNAL) < 0 && errno == EINTR) {
  }
}

}  // namespace

ForkedSteps::ForkedSteps(std::function<void()> first, std::function<void()> then) {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
    throw std::runtime_error("socketpair failed");
  FChild = ::fork();
  if (FChild < 0) throw std::runtime_error("fork failed");
  if (FChild == 0) {
    ::close(ends[0]);
    int status = 0;
    try {
      first();
      WriteByte(ends[1]);
      ReadByte(ends[1]);  // "go on", or the parent gone
      then();
    } catch (...) {
      status = 1;
    }
    ::_exit(status);  // no destructors, no atexit handlers of the test program
  }
  ::close(ends[1]);
  FEnd = ends[0];
}

ForkedSteps::~ForkedSteps() { Finish(); }

bool ForkedSteps::FirstDone() { return ReadByte(FEnd); }

int ForkedSteps::Finish() {
  if (FChild < 0) return FStatus;
  WriteByte(FEnd);
  ::close(FEnd);
  int status = 0;
  while (::waitpid(FChild, &status, 0) < 0 && errno == EINTR) {
  }
  FChild = -1;
  FStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return FStatus;
}

}  // namespace testsupport
