#include "wizard/ErrorTrail.h"

#include "diagnostics/uMAVCallStack.h"
#include "diagnostics/uMAVLogFile.h"

std::string TakeTrail(TMAVCallStack& stack) {
  std::string trail;
  while (stack.Count() > 0) {
    const TMAVCallStackItem& frame = stack.Peek();
    std::string line = frame.Name() + "(";
    for (int i = 0; i < frame.Params().Count(); ++i) line += frame.Params().Strings(i) + "; ";
    line += ")";
    trail = line + "\r\n" + trail;  // each line in front: the outermost ends up first
    stack.Pop();
  }
  return trail;
}

void LogException(const std::string& message, TMAVCallStack& stack, TMAVLogFile& log) {
  log.LogMessage(message + "\r\n" + TakeTrail(stack));
}

void LogException(const std::string& message) { LogException(message, CallStack(), LogFile()); }
