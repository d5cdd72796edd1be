#include "wizard/Overwrite.h"

bool TOverwriteRule::MayWrite(bool exists, const std::function<TOverwriteAnswer()>& ask) {
  if (!exists) return true;
  if (FAnswer != oaYesToAll && FAnswer != oaNoToAll) FAnswer = ask();
  return FAnswer == oaYes || FAnswer == oaYesToAll;
}

std::string OverwriteQuestion(const std::string& name) {
  return "Folder already contains a file \"" + name +
         "\".\r\n\r\nDo you really want to replace existing file?";
}
