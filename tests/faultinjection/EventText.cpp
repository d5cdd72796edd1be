#include "EventText.h"

namespace testsupport {

const char* KindText(TFileSaveEventType kind) {
  switch (kind) {
    case fseStartList:
      return "startList";
    case fseStartFile:
      return "start";
    case fseEndList:
      return "endList";
    case fseEndFile:
      return "end";
    case fseProgress:
      return "progress";
  }
  return "?";
}

const char* ModeText(TFileSaveCancelMode mode) {
  switch (mode) {
    case fscNormal:
      return "normal";
    case fscSkip:
      return "skip";
    case fscCancel:
      return "cancel";
    case fscError:
      return "error";
  }
  return "?";
}

std::vector<std::string> Start(std::int64_t size) {
  return {"start src " + std::to_string(size) + " normal"};
}

std::vector<std::string> Good(std::int64_t bytes) {
  return {"progress src " + std::to_string(bytes) + " normal"};
}

std::vector<std::string> Flaky(int failures, std::int64_t bytes) {
  std::vector<std::string> lines(static_cast<std::size_t>(failures), "progress - 0 normal");
  return lines + Good(bytes);
}

std::vector<std::string> Bad(std::int64_t bytes) { return Flaky(3, bytes); }

std::vector<std::string> End(std::int64_t size) {
  return {"end src " + std::to_string(size) + " normal"};
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace testsupport
