#pragma once
// Version information of a program file, shaped like the Windows calls so
// that a Windows port maps one to one: FileVersionInfoSize is
// GetFileVersionInfoSizeW, ReadFileVersionInfo is GetFileVersionInfoW,
// QueryVersionValue and QueryFixedFileVersion are VerQueryValueW on a string,
// on "\" and on "\VarFileInfo\Translation". (Other names than the Windows
// ones: windows.h defines those as macros.)
// On Linux the information is the allocated ELF note that
// cmake/VersionNote.cmake embeds (layout described there); any file, however
// damaged, is read without leaving its bounds.

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

namespace platform {

// Size in bytes of the file's version block; 0 when the file is missing,
// unreadable, not a program file or carries no version information.
std::uint32_t FileVersionInfoSize(const std::filesystem::path& file);

// Reads the version block into block (sized by FileVersionInfoSize). False
// when there is none or it does not fit; block is then all zero.
bool ReadFileVersionInfo(const std::filesystem::path& file, std::span<char> block);

// Looks up a string of the block by its sub-block path,
// "\StringFileInfo\040904E4\FileVersion" (the leading backslash is optional,
// case does not matter). On success value views the text inside block,
// without its terminating zero.
bool QueryVersionValue(std::span<const char> block, std::string_view subBlock,
                       std::string_view& value);

// The fixed part of the block ("\" on Windows): four 16-bit numbers each,
// most significant first, and the translation ("\VarFileInfo\Translation").
struct TFixedFileVersion {
  std::array<std::uint16_t, 4> FileVersion{};
  std::array<std::uint16_t, 4> ProductVersion{};
  std::uint16_t Language = 0;  // 0x0409
  std::uint16_t CodePage = 0;  // 0x04E4
};
bool QueryFixedFileVersion(std::span<const char> block, TFixedFileVersion& fixed);

}  // namespace platform
