#pragma once
// Helpers of the velmora-faultfs tests: source files whose every sector holds
// different bytes, and single read(2) calls as the copier makes them.

#include <cstdint>
#include <filesystem>
#include <string>

namespace faultfs_test {

inline constexpr std::uint64_t Sector = 2048;

// The bytes of a pattern file at [offset, offset + size): no two sectors alike.
std::string PatternBytes(std::uint64_t offset, std::size_t size);
// Writes PatternBytes(offset, size) into `file` at `offset`, creating it.
void WritePattern(const std::filesystem::path& file, std::uint64_t offset, std::size_t size);

struct ReadResult {
  int error = 0;     // errno of open or pread, 0 on success
  std::string data;  // the bytes read
};

// One pread of `size` bytes at `offset` into a 4096-aligned buffer; with
// `direct` the file is opened O_DIRECT, as the copier opens it.
ReadResult ReadOnce(const std::filesystem::path& file, std::uint64_t offset, std::size_t size,
                    bool direct = true);

}  // namespace faultfs_test
