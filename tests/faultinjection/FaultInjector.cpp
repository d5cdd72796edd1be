#include "FaultInjector.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <thread>

namespace testsupport {

struct FaultInjector::FileData {
  enum class Source { Memory, Zeros, Disk } source = Source::Memory;
  std::string bytes;
  std::filesystem::path onDisk;
  std::int64_t size = 0;
  std::map<std::int64_t, int> failuresLeft;  // sector -> failures to come (-1 always)
  std::vector<int> attempts;                 // per sector; grows on demand
  int totalReads = 0;
  int runReads = 0;
  int opens = 0;
  int goneAfter = -1;  // reads left before the disc is gone; -1 never
  bool failSeeks = false;
  bool shortRuns = false;
  std::chrono::milliseconds failDelay{0};
  std::atomic<int> blocking{0};  // read by another thread while a read blocks

  std::int64_t CurrentSize() const {
    if (source != Source::Disk) return size;
    std::error_code ec;
    const auto n = std::filesystem::file_size(onDisk, ec);
    return ec ? -1 : static_cast<std::int64_t>(n);
  }

  void CopyOut(std::int64_t pos, std::byte* out, std::size_t count) const {
    switch (source) {
      case Source::Memory:
        std::memcpy(out, bytes.data() + pos, count);
        break;
      case Source::Zeros:
        std::memset(out, 0, count);
        break;
      case Source::Disk: {
        std::ifstream in(onDisk, std::ios::binary);
        in.seekg(pos);
        in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(count));
        break;
      }
    }
  }
};

namespace {

constexpr auto kSector = static_cast<std::int64_t>(platform::SectorSize);

class InjectedFile final : public platform::IUnbufferedFile {
 public:
  InjectedFile(std::shared_ptr<FaultInjector::FileData> data, std::int64_t size,
               platform::ReadPath path)
      : data_(std::move(data)), size_(size), path_(path) {}

  std::int64_t Size() const override { return size_; }
  std::int64_t Position() const override { return position_; }
  bool Seek(std::int64_t position) override {
    if (data_->failSeeks || position < 0) return false;
    position_ = position;
    return true;
  }
  std::int64_t Read(std::byte* buffer, std::size_t count) override {
    return Request(buffer, std::min(count, platform::SectorSize));
  }
  std::int64_t ReadRun(std::byte* buffer, std::size_t count) override {
    count = std::min(count, platform::RunSize);
    if (count > platform::SectorSize) ++data_->runReads;
    return Request(buffer, count);
  }
  std::size_t MaxRunSize() const override { return platform::RunSize; }
  platform::ReadError LastError() const override { return lastError_; }
  platform::ReadPath Path() const override { return path_; }

 private:
  // One request: every sector it touches counts an attempt; it fails when
  // one of them is bad, or with ShortRuns returns the sectors before it.
  std::int64_t Request(std::byte* buffer, std::size_t count) {
    ++data_->totalReads;
    if (data_->goneAfter == 0) {
      lastError_ = platform::ReadError::Gone;
      return -1;
    }
    if (data_->goneAfter > 0) --data_->goneAfter;
    if (position_ >= size_ || count == 0) return 0;
    const auto n = std::min<std::int64_t>(static_cast<std::int64_t>(count), size_ - position_);
    std::int64_t firstBad = -1;
    for (std::int64_t s = position_ / kSector; s <= (position_ + n - 1) / kSector; ++s) {
      auto& attempts = data_->attempts;
      if (static_cast<std::size_t>(s) >= attempts.size())
        attempts.resize(static_cast<std::size_t>(s) + 1 + attempts.size() / 2);
      ++attempts[static_cast<std::size_t>(s)];
      const auto it = data_->failuresLeft.find(s);
      if (it == data_->failuresLeft.end() || it->second == 0) continue;
      if (firstBad < 0) firstBad = s;
      if (it->second > 0) --it->second;
      if (data_->shortRuns) break;  // the drive stops at the first bad sector
    }
    const std::int64_t got = firstBad < 0       ? n
                             : data_->shortRuns ? firstBad * kSector - position_
                                                : 0;
    if (got <= 0) {
      if (data_->failDelay.count() > 0) {
        ++data_->blocking;
        std::this_thread::sleep_for(data_->failDelay);
        --data_->blocking;
      }
      lastError_ = platform::ReadError::Medium;
      return -1;
    }
    data_->CopyOut(position_, buffer, static_cast<std::size_t>(got));
    position_ += got;
    return got;
  }

  std::shared_ptr<FaultInjector::FileData> data_;
  std::int64_t size_;
  std::int64_t position_ = 0;
  platform::ReadPath path_;
  platform::ReadError lastError_ = platform::ReadError::Medium;
};

}  // namespace

FaultInjector::FaultInjector() = default;
FaultInjector::~FaultInjector() = default;

FaultInjector::FileData& FaultInjector::Add(const std::filesystem::path& name,
                                            std::vector<BadSector> bad) {
  auto data = std::make_shared<FileData>();
  for (const auto& b : bad) data->failuresLeft[b.sector] = b.failures;
  auto& slot = files_[name];
  slot = std::move(data);
  return *slot;
}

void FaultInjector::AddFile(const std::filesystem::path& name, std::string bytes,
                            std::vector<BadSector> bad) {
  auto& data = Add(name, std::move(bad));
  data.size = static_cast<std::int64_t>(bytes.size());
  data.bytes = std::move(bytes);
}

void FaultInjector::AddZeroFile(const std::filesystem::path& name, std::int64_t size,
                                std::vector<BadSector> bad) {
  auto& data = Add(name, std::move(bad));
  data.source = FileData::Source::Zeros;
  data.size = size;
}

void FaultInjector::AddDiskFile(const std::filesystem::path& name,
                                const std::filesystem::path& onDisk, std::vector<BadSector> bad) {
  auto& data = Add(name, std::move(bad));
  data.source = FileData::Source::Disk;
  data.onDisk = onDisk;
}

void FaultInjector::FailSeeks(const std::filesystem::path& name, bool fail) {
  files_.at(name)->failSeeks = fail;
}

void FaultInjector::DelayFailures(const std::filesystem::path& name,
                                  std::chrono::milliseconds delay) {
  files_.at(name)->failDelay = delay;
}

int FaultInjector::Blocking(const std::filesystem::path& name) const {
  const auto it = files_.find(name);
  return it == files_.end() ? 0 : it->second->blocking.load();
}

int FaultInjector::Attempts(const std::filesystem::path& name, std::int64_t sector) const {
  const auto it = files_.find(name);
  if (it == files_.end()) return 0;
  const auto& attempts = it->second->attempts;
  return sector >= 0 && static_cast<std::size_t>(sector) < attempts.size()
             ? attempts[static_cast<std::size_t>(sector)]
             : 0;
}

void FaultInjector::ShortRuns(const std::filesystem::path& name, bool shortRuns) {
  files_.at(name)->shortRuns = shortRuns;
}

void FaultInjector::GoneAfter(const std::filesystem::path& name, int reads) {
  files_.at(name)->goneAfter = reads;
}

int FaultInjector::RunReads(const std::filesystem::path& name) const {
  const auto it = files_.find(name);
  return it == files_.end() ? 0 : it->second->runReads;
}

int FaultInjector::TotalReads(const std::filesystem::path& name) const {
  const auto it = files_.find(name);
  return it == files_.end() ? 0 : it->second->totalReads;
}

int FaultInjector::Opens(const std::filesystem::path& name) const {
  const auto it = files_.find(name);
  return it == files_.end() ? 0 : it->second->opens;
}

std::unique_ptr<platform::IUnbufferedFile> FaultInjector::Open(const std::filesystem::path& path,
                                                               std::string& error) {
  const auto it = files_.find(path);
  const std::int64_t size = it == files_.end() ? -1 : it->second->CurrentSize();
  if (size < 0) {
    error = "no such file: \"" + path.string() + "\"";
    return nullptr;
  }
  ++it->second->opens;
  return std::make_unique<InjectedFile>(it->second, size, path_);
}

}  // namespace testsupport
