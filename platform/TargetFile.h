#pragma once
// Writing a recovered file: created anew or truncated, written from the start
// onwards. Others may read it while it is written.

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
};

class ITargetCreator {
 public:
  virtual ~ITargetCreator() = default;
  // Creates or truncates `path`; nullptr (and `error`) when it cannot.
  virtual std::unique_ptr<ITargetFile> Create(const std::filesystem::path& path,
                                              std::string& error) = 0;
  // Opens an existing target for WriteAt, its bytes kept; nullptr (and
  // `error`) when it cannot. By default targets cannot be reopened.
  virtual std::unique_ptr<ITargetFile> OpenExisting(const std::filesystem::path& path,
                                                    std::string& error) {
    error = "cannot reopen \"" + path.string() + "\"";
    return nullptr;
  }
};

ITargetCreator& SystemTargetCreator();

}  // namespace platform
