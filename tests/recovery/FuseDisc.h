#pragma once
// Helpers of the recovery tests: source files in which every byte is non-zero
// and no two sectors are alike (so a zero run shows exactly where a sector was
// replaced), and the copier's events written as short lines.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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
struct EventLog {
  std::filesystem::path source;
  std::vector<std::string> events;
  TFileSaveProc Proc();
};

// The expected lines, built from the blocks the copier meets in order.
std::vector<std::string> Start(std::int64_t size);
std::vector<std::string> Good(std::int64_t bytes);  // a block read at the first attempt
std::vector<std::string> Bad(std::int64_t bytes);   // three failures, then a zero run
std::vector<std::string> Flaky(int failures, std::int64_t bytes);  // read after failures
std::vector<std::string> End(std::int64_t size);
// The built velmora-cli.
std::string Cli();

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b);

}  // namespace recovery_test
