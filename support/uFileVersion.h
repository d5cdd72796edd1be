#pragma once
// Version information of program files: the "FileVersion" text of a file's
// version resource (string table "040904E4"), as the launcher compares it and
// the main program shows it.

#include <array>
#include <filesystem>
#include <string>

// The string names that GetFileVersion queries, in this order; only
// "FileVersion" (index 2 here) is used.
inline constexpr std::array<const char*, 10> VersionInfoKeys = {
    "CompanyName",     "FileDescription",  "FileVersion", "InternalName",   "LegalCopyright",
    "LegalTradeMarks", "OriginalFileName", "ProductName", "ProductVersion", "Comments"};

// The "FileVersion" text of the file, or "" when the file is missing or has
// none (no report then). Unexpected failures are reported silently to the
// error log and give the text reached so far.
std::string GetFileVersion(const std::filesystem::path& FileName);

// GetFileVersion of the running program's own file.
std::string GetSelfApplicationVersion();
