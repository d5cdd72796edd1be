#include "FaultInjector.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace testsupport {

struct FaultInjector::FileData {
  enum class Source { Memory, Zeros, Disk } source = Source::Memory;
  std::string bytes;
  std::filesystem::path onDisk;
  std::int64_t size = 0;
  std::map<std::int64_t, int> failuresLeft;  // sector -> failures to come (-1 always)
  std::vector<int> attempts;                 // per sector; grows on demand
  int totalReads = 0;
  int opens = 0;
  bool failSeeks = false;

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
    count = std::min(count, platform::SectorSize);
    ++data_->totalReads;
    if (position_ >= size_ || count == 0) return 0;
    const auto n = std::min<std::int64_t>(static_cast<std::int64_t>(count), size_ - position_);
    bool failed = false;
    for (std::int64_t s = position_ / kSector; s <= (position_ + n - 1) / kSector; ++s) {
      auto& attempts = data_->attempts;
      if (static_cast<std::size_t>(s) >= attempts.size())
        attempts.resize(static_cast<std::size_t>(s) + 1 + attempts.size() / 2);
      ++attempts[static_cast<std::size_t>(s)];
      if (data_->failuresLeft.empty()) continue;
      const auto it = data_->failuresLeft.find(s);
      if (it == data_->failuresLeft.end() || it->second == 0) continue;
      failed = true;
      if (it->second > 0) --it->second;
    }
    if (failed) return -1;
    data_->CopyOut(position_, buffer, static_cast<std::size_t>(n));
    position_ += n;
    return n;
  }
  platform::ReadPath Path() const override { return path_; }

 private:
  std::shared_ptr<FaultInjector::FileData> data_;
  std::int64_t size_;
  std::int64_t position_ = 0;
  platform::ReadPath path_;
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

int FaultInjector::Attempts(const std::filesystem::path& name, std::int64_t sector) const {
  const auto it = files_.find(name);
  if (it == files_.end()) return 0;
  const auto& attempts = it->second->attempts;
  return sector >= 0 && static_cast<std::size_t>(sector) < attempts.size()
             ? attempts[static_cast<std::size_t>(sector)]
             : 0;
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
