#include "diagnostics/uMAVCallStack.h"

#include <stdexcept>

TMAVCallStackItem& TMAVCallStack::Push(const std::string& aName) {
  FStack.push_back(std::make_unique<TMAVCallStackItem>(aName));
  return *FStack.back();
}

void TMAVCallStack::Pop() {
  if (!FStack.empty()) FStack.pop_back();
}

TMAVCallStackItem& TMAVCallStack::Peek() {
  // Peeking into an empty stack is a caller's fault; fail loudly rather than read past the end.
  if (FStack.empty()) throw std::out_of_range("TMAVCallStack::Peek on an empty stack");
  return *FStack.back();
}

void TMAVCallStack::Clear() {
  while (Count() > 0) Pop();
}

TMAVCallStack& CallStack() {
  static TMAVCallStack stack;
  return stack;
}
