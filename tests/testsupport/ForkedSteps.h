#pragma once
// A second process for tests of what two programs do to one file at once:
// the child runs a first step, tells the parent, waits until the parent lets
// it go on, runs a second step and exits. Whatever the child holds (an open
// file, a lock) it holds between the two steps.

#include <sys/types.h>

#include <functional>

namespace testsupport {

class ForkedSteps {
 public:
  // Forks at once; the child never returns from here. A step that throws
  // ends the child with status 1.
  ForkedSteps(std::function<void()> first, std::function<void()> then);
  ~ForkedSteps();  // lets the child finish and waits for it
  ForkedSteps(const ForkedSteps&) = delete;
  ForkedSteps& operator=(const ForkedSteps&) = delete;

  // True once the child has run its first step (false when it died first).
  bool FirstDone();
  // Lets the child run its second step and waits; its exit status (0 when
  // both steps ran), or 128 + signal.
  int Finish();

 private:
  pid_t FChild = -1;
  int FEnd = -1;  // the parent's end of the socket pair: "first step done", "go on"
  int FStatus = -1;
};

}  // namespace testsupport
