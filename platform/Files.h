#pragma once
// File and folder basics shared by the support library, the diagnostics and
// the engine. Paths are std::filesystem::path in the platform's native form.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// The platform's path delimiter as one character ('/' here, '\\' on Windows).
inline constexpr char PathDelimiter = static_cast<char>(std::filesystem::path::preferred_separator);

bool FileExists(const std::filesystem::path& path);       // a file, not a folder
bool DirectoryExists(const std::filesystem::path& path);  // a folder

// Creates the folder with all missing parents; true when it exists afterwards.
bool ForceDirectories(const std::filesystem::path& path);
// The same, with the system's reason in `reason` when it fails.
bool ForceDirectories(const std::filesystem::path& path, std::string& reason);
// Creates the folder a file is to go in when it is missing; true when it
// exists afterwards (or the name has no folder part).
bool ForceFileFolder(const std::filesystem::path& file);

// Appends bytes to a file, creating it when missing. Writers of a shared log
// take an advisory lock on the whole file for the append, and wait up to
// lockWait for another writer to let go, so that two programs appending at
// the same moment lose no line. False when the file cannot be opened or
// locked in time, or when not every byte was written.
bool AppendToFile(const std::filesystem::path& path, std::string_view bytes,
                  std::chrono::milliseconds lockWait = std::chrono::milliseconds(2000));

// True when `path` is `folder` or lies below it, compared name by name
// ("/dev/sr0" is below "/dev", "/devices" is not); both in the same form
// (absolute, or relative to the same folder). Repeated and trailing
// delimiters do not count.
bool IsAtOrBelow(const std::filesystem::path& path, const std::filesystem::path& folder);

// True when `a` and `b` name one file: the same file when both exist (a
// hard link, or a symbolic link to it, included), else the same path once
// made absolute with its existing folders' links resolved, as two files yet
// to be written under the names would be one.
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

enum class ReadFileStatus : std::uint8_t { Read, Missing, NotRegular, TooLarge, Failed };

// Reads a whole regular file of at most `maxBytes` bytes into `bytes`. A
// FIFO, a device or a folder is refused without being opened for reading,
// so that it can neither block nor be changed by the opening; a larger file
// is refused without being read. `error` says why for Missing and Failed.
ReadFileStatus ReadRegularFile(const std::filesystem::path& path, std::uint64_t maxBytes,
                               std::string& bytes, std::string& error);

// The full path of the running program's own file.
std::filesystem::path SelfExecutablePath();

}  // namespace platform
