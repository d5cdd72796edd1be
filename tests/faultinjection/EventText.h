#pragma once
// The copier's event kinds and running results as the short words the
// copier tests write their expected event lines in ("start src 5000 normal").

#include "engine/BadFileRestorator.h"

namespace testsupport {

const char* KindText(TFileSaveEventType kind);
const char* ModeText(TFileSaveCancelMode mode);

}  // namespace testsupport
