#pragma once
// The copier's event kinds and running results as the short words the
// copier tests write their expected event lines in ("start src 5000 normal").

#include <cstdint>
#include <string>
#include <vector>

#include "engine/BadFileRestorator.h"

namespace testsupport {

const char* KindText(TFileSaveEventType kind);
const char* ModeText(TFileSaveCancelMode mode);

// The expected lines of a copy whose callback answers nothing, built from
// the blocks the copier meets in order.
std::vector<std::string> Start(std::int64_t size);
std::vector<std::string> Good(std::int64_t bytes);  // a block read at the first attempt
std::vector<std::string> Bad(std::int64_t bytes);   // three failures, then a zero run
std::vector<std::string> Flaky(int failures, std::int64_t bytes);  // read after failures
std::vector<std::string> End(std::int64_t size);
std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b);

}  // namespace testsupport
