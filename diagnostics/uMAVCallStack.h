#pragma once
// The main program's call-stack trace: operations of the wizard window push
// a named frame on entry and pop it on their normal exit, so that the frames
// left behind by an escaping error name the operations that were running
// (innermost on top) with their parameters. The error handler writes them
// to the error log and empties the stack.

#include <memory>
#include <string>
#include <vector>

#include "diagnostics/uNameValueList.h"

// One frame: the operation's name ("TMForm.ProcessScan") and its parameters
// ("Drive=E"), in the order first set.
class TMAVCallStackItem {
 public:
  explicit TMAVCallStackItem(std::string aName) : FName(std::move(aName)) {}
  virtual ~TMAVCallStackItem() = default;

  const std::string& Name() const { return FName; }
  TNameValueList& Params() { return FParams; }
  const TNameValueList& Params() const { return FParams; }

 private:
  std::string FName;
  TNameValueList FParams;
};

// A last-in-first-out stack of frames, which it owns.
class TMAVCallStack {
 public:
  TMAVCallStack() = default;
  virtual ~TMAVCallStack() { Clear(); }
  TMAVCallStack(const TMAVCallStack&) = delete;
  TMAVCallStack& operator=(const TMAVCallStack&) = delete;

  // Puts a new frame named aName on top; the reference stays valid until the frame is popped.
  TMAVCallStackItem& Push(const std::string& aName);
  // Removes and frees the top frame; nothing on an empty stack.
  void Pop();
  // The top frame. Callers check Count first; an empty stack throws std::out_of_range.
  TMAVCallStackItem& Peek();
  void Clear();
  int Count() const { return static_cast<int>(FStack.size()); }

 private:
  std::vector<std::unique_ptr<TMAVCallStackItem>> FStack;  // top is back()
};

// The process-wide trace, empty at start.
TMAVCallStack& CallStack();
