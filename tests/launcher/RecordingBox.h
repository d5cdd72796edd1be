#pragma once
// A message box for tests: records each text it is asked to show and
// answers with a chosen button.

#include <string>
#include <vector>

#include "support/uFunctions.h"

namespace launchertest {

class RecordingBox : public IMessageBox {
 public:
  int Show(TErrorDisplayStatus, const std::string& aText) override {
    shown.push_back(aText);
    return answer;
  }
  std::vector<std::string> shown;
  int answer = mrNo;
};

}  // namespace launchertest
