#include "FuseDisc.h"

#include "EventText.h"
#include "RunProcess.h"

#include <algorithm>

namespace recovery_test {

std::string Cli() { return (testsupport::BinDir() / "velmora-cli").string(); }

std::string SectorPattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t sector = i / static_cast<std::size_t>(Sector);
    bytes[i] = static_cast<char>(1 + (i * 7 + sector * 31 + sector / 251) % 251);
  }
  return bytes;
}

std::string WithZeroSectors(std::string bytes, const std::vector<std::int64_t>& sectors) {
  for (const auto s : sectors) {
    const auto from = std::min(bytes.size(), static_cast<std::size_t>(s * Sector));
    const auto to = std::min(bytes.size(), from + static_cast<std::size_t>(Sector));
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(from),
              bytes.begin() + static_cast<std::ptrdiff_t>(to), '\0');
  }
  return bytes;
}

testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
  if (actual == expected) return testing::AssertionSuccess();
  const auto [a, e] = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
  const auto at = static_cast<std::size_t>(a - actual.begin());
  auto failure = testing::AssertionFailure()
                 << actual.size() << " bytes, expected " << expected.size();
  if (a != actual.end() && e != expected.end())
    failure << "; first difference at byte " << at << " (sector " << at / 2048
            << "): " << int(static_cast<unsigned char>(*a)) << " instead of "
            << int(static_cast<unsigned char>(*e));
  return failure;
}

}  // namespace recovery_test
