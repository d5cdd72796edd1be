#pragma once
// The mapfile of "velmora-cli copy --map": read before a retry, written
// after a copy, in GNU ddrescue's format.

#include <filesystem>
#include <optional>
#include <string>

#include "engine/DamageMap.h"

namespace cli {

// The map in `path`; nothing and `error` when it cannot be read or parsed.
std::optional<TDamageMap> ReadMapFile(const std::filesystem::path& path, std::string& error);

// Writes the map through a temporary file renamed over `path`, so that an
// interrupted write never leaves half a map; false and `error` when it cannot.
bool WriteMapFile(const std::filesystem::path& path, const TDamageMap& map, std::string& error);

}  // namespace cli
