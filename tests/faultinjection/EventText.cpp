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

}  // namespace testsupport
