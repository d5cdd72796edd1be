#pragma once
// The mapfile of "velmora-cli copy --map": checked before the copy, read
// before a retry, written after a copy, in GNU ddrescue's format.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "engine/DamageMap.h"

namespace cli {

// Larger maps are refused unread: ddrescue writes a few lines per damaged
// area, and even a disc full of scattered damage stays far below this.
inline constexpr std::uint64_t kMaxMapFileBytes = 64u << 20;

// Refuses, before anything is written, a map that is the copy's source or
// target (or whose temporary file would be), and a map that exists but is
// no regular file; false and `error` then.
bool CheckMapFile(const std::filesystem::path& path, const std::filesystem::path& source,
                  const std::filesystem::path& target, std::string& error);

// The map in `path`; nothing and `error` when it cannot be read or parsed.
std::optional<TDamageMap> ReadMapFile(const std::filesystem::path& path, std::string& error);

// Writes the map through a temporary file ("MAP.new") renamed over `path`,
// so that an interrupted write never leaves half a map; false and `error`
// when it cannot, and the temporary file is gone again.
bool WriteMapFile(const std::filesystem::path& path, const TDamageMap& map, std::string& error);

}  // namespace cli
