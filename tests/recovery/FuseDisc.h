#pragma once
// Helpers of the recovery tests: source files in which every byte is non-zero
// and no two sectors are alike (so a zero run shows exactly where a sector was
// replaced), and the copier's events written as short lines.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CopyCases.h"
#include "EventText.h"
#include "engine/BadFileRestorator.h"

namespace recovery_test {

inline constexpr std::int64_t Sector = 2048;

// The bytes [0, size) of a pattern file: never zero, no two sectors alike.
std::string SectorPattern(std::size_t size);
// `bytes` with the given 2048-byte sectors set to zeros (a partial last sector
// only up to the end).
std::string WithZeroSectors(std::string bytes, const std::vector<std::int64_t>& sectors);

// Whether two files' bytes are equal; on failure says where they first differ
// (byte and sector) instead of printing megabytes.
testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected);

// Records every event as "<kind> <src|-|name> <size> <running result>":
// "start src 5000 normal", "progress - 0 normal" (a failed read attempt).
using EventLog = testsupport::Recorder;

using testsupport::Bad;
using testsupport::End;
using testsupport::Flaky;
using testsupport::Good;
using testsupport::Start;
using testsupport::operator+;

// The built velmora-cli.
std::string Cli();

}  // namespace recovery_test
