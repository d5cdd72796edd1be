#pragma once
// The user-interface language of both programs, and whether a localised
// window lays itself out from right to left. The library translates no text
// and changes no locale: the language only decides the layout.

#include <cstdint>

// The platform's user-interface language id of the calling thread; 0 where
// the platform has no such query.
std::uint16_t GetUILanguage();

// The language id for a window being created: the per-user "LCID" of the
// product key when it is not 0, else GetUILanguage(). An absent "LCID" is
// reported silently (" r.03004_int") by the registry read.
std::int32_t FormLanguageId();

// Arabic (Saudi Arabia), 1025, is the one language that mirrors the windows;
// other Arabic sublanguages and other right-to-left languages do not.
inline constexpr std::int32_t RightToLeftLanguageId = 1025;

// Whether a localised window is mirrored. A failure to learn the language is
// reported silently and leaves the window left to right.
bool FormIsRightToLeft();
