#pragma once
// An IUnbufferedOpener over in-memory, zero-filled or on-disk bytes whose
// files have bad 2048-byte sectors: always bad, or bad only for the first N
// attempts. It counts the physical read attempts of every sector, so tests
// can assert exactly how often the copier went back to the "drive".
//
//   testsupport::FaultInjector disc;
//   disc.AddFile("/disc/a.bin", bytes, {{1}});           // sector 1 always bad
//   disc.AddFile("/disc/b.bin", bytes, {{0, 2}});        // sector 0 bad twice, then good
//   ScopedRestoratorIo io(&disc);
//   ... BadFileRestorator::SaveFile("/disc/a.bin", target, proc);
//   disc.Attempts("/disc/a.bin", 1)                       // == 3

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/UnbufferedFile.h"

namespace testsupport {

struct BadSector {
  std::int64_t sector = 0;  // index of the 2048-byte sector in the file
  int failures = -1;        // -1: always bad; N: the first N attempts fail
};

class FaultInjector final : public platform::IUnbufferedOpener {
 public:
  FaultInjector();
  ~FaultInjector() override;

  // A file of the given bytes.
  void AddFile(const std::filesystem::path& name, std::string bytes,
               std::vector<BadSector> bad = {});
  // A file of `size` zero bytes that takes no memory (for sizes past 4 GiB).
  void AddZeroFile(const std::filesystem::path& name, std::int64_t size,
                   std::vector<BadSector> bad = {});
  // A file whose bytes are read from `onDisk` at each attempt.
  void AddDiskFile(const std::filesystem::path& name, const std::filesystem::path& onDisk,
                   std::vector<BadSector> bad = {});
  // Positioning of this file fails (the copier's skip step then stays on).
  void FailSeeks(const std::filesystem::path& name, bool fail = true);
  // A run request over a bad sector returns the whole sectors before it, as
  // some drives do, instead of failing whole (the default).
  void ShortRuns(const std::filesystem::path& name, bool shortRuns = true);
  // After `reads` more read requests every request fails as if the disc
  // were taken out (ReadError::Gone).
  void GoneAfter(const std::filesystem::path& name, int reads);
  // Each failed read request of this file blocks for `delay` first, as a
  // drive does while it retries a bad sector.
  void DelayFailures(const std::filesystem::path& name, std::chrono::milliseconds delay);
  // Failed reads of `name` blocking right now; safe to ask from any thread.
  int Blocking(const std::filesystem::path& name) const;
  // The read path the opened files report (Direct by default).
  void SetReadPath(platform::ReadPath path) { path_ = path; }

  // Physical read attempts that touched `sector` of `name`.
  int Attempts(const std::filesystem::path& name, std::int64_t sector) const;
  // All read requests on `name`, successful or not, and the run requests
  // (of more than one sector) among them.
  int RunReads(const std::filesystem::path& name) const;
  // All read attempts on `name`, successful or not.
  int TotalReads(const std::filesystem::path& name) const;
  // How often `name` was opened.
  int Opens(const std::filesystem::path& name) const;

  std::unique_ptr<platform::IUnbufferedFile> Open(const std::filesystem::path& path,
                                                  std::string& error) override;

  struct FileData;  // shared with the opened files

 private:
  FileData& Add(const std::filesystem::path& name, std::vector<BadSector> bad);
  std::map<std::filesystem::path, std::shared_ptr<FileData>> files_;
  platform::ReadPath path_ = platform::ReadPath::Direct;
};

}  // namespace testsupport
