#pragma once
// Whether a save run may replace a file that already exists in the target,
// without a window: the run asks the user only while no "to All" answer
// decides for it.

#include <functional>
#include <string>

enum TOverwriteAnswer {
  oaYes,
  oaYesToAll,
  oaNo,
  oaNoToAll,
  oaCancel,  // the dialog closed without an answer: the file is kept
};

class TOverwriteRule {
 public:
  // True when the target may be written; ask is called only for an existing
  // target while no "to All" answer has been given in this run.
  bool MayWrite(bool exists, const std::function<TOverwriteAnswer()>& ask);

 private:
  TOverwriteAnswer FAnswer = oaYes;  // Yes carries no decision for later files
};

// The question for an existing target file of the given name.
std::string OverwriteQuestion(const std::string& name);
