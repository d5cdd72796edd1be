#pragma once
// Writing a recovered file: created anew or truncated, written from the start
// onwards. Others may read it while it is written; only one writer at a time
// holds it (a second one is refused before anything is truncated or written).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace platform {

class ITargetFile {
 public:
  virtual ~ITargetFile() = default;
  // Bytes written so far (the file's length).
  virtual std::int64_t Size() const = 0;
  // Appends `count` bytes; returns the bytes stored, fewer than `count` when
  // the disk is full, -1 on another error.
  virtual std::int64_t Write(const std::byte* data, std::size_t count) = 0;
  // Stores `count` bytes at `offset` of a file opened with OpenExisting,
  // without moving the end; returns the bytes stored, -1 on an error. By
  // default nothing can be stored.
  virtual std::int64_t WriteAt(std::int64_t offset, const std::byte* data, std::size_t count) {
    (void)offset, (void)data, (void)count;
    return -1;
  }
  // The system's reason for the last write that failed or came up short
  // ("No space left on device"); empty when none is known.
  virtual std::string LastErrorText() const { return {}; }
};

// The reason given when another writer holds the target.
inline constexpr const char* TargetBusyText = "The file is being written by another program";

class ITargetCreator {
 public:
  virtual ~ITargetCreator() = default;
  // Creates or truncates `path`, holding it against other writers until the
  // file object goes; nullptr (and `error`, with the system's reason) when it
  // cannot, or when another writer holds it (its bytes are then untouched).
  virtual std::unique_ptr<ITargetFile> Create(const std::filesystem::path& path,
                                              std::string& error) = 0;
  // Opens an existing target for WriteAt, its bytes kept, held against other
  // writers as Create does; nullptr (and `error`) when it cannot. By default
  // targets cannot be reopened.
  virtual std::unique_ptr<ITargetFile> OpenExisting(const std::filesystem::path& path,
                                                    std::string& error) {
    error = "cannot reopen \"" + path.string() + "\"";
    return nullptr;
  }
};

ITargetCreator& SystemTargetCreator();

}  // namespace platform
