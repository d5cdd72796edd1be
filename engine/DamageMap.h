#pragma once
// A copy's damage as a GNU ddrescue mapfile: the target's bytes from 0 to
// its size, rescued ("+") or unreadable ("-"), so that a user can retry just
// the unreadable areas later with ddrescue (from a cleaned disc or another
// drive) or with the copier again.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/BadFileRestorator.h"

struct TDamageMap {
  std::int64_t Size = 0;
  std::vector<TByteRange> Unreadable;  // in order, not overlapping, within [0, Size)
};

// The mapfile text: a comment header, the status line (finished), then one
// line per block, all of [0, Size) covered.
std::string FormatDdrescueMap(const TDamageMap& AMap);

// Reads a mapfile as ddrescue writes it. Every block not rescued ("?", "*",
// "/", "-") counts as unreadable. Nothing, and AError, when the text is no
// mapfile or its blocks leave gaps or overlap.
std::optional<TDamageMap> ParseDdrescueMap(const std::string& AText, std::string& AError);
