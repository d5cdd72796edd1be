#include "wizard/ScanJob.h"

// The listing seen through the scan: each listed folder adds to the counts,
// and after Cancel nothing more is listed or entered, so the walk ends at
// once without a change to the scan itself.
class TScanJob::TCountingFolder : public platform::IOpenFolder {
 public:
  TCountingFolder(TScanJob& job, std::shared_ptr<platform::IOpenFolder> inner)
      : FJob(job), FInner(std::move(inner)) {}
  bool List(std::vector<platform::DirectoryEntry>& entries) override {
    if (FJob.FCancelled) return false;
    const bool listed = FInner->List(entries);
    FJob.Found(entries);
    return listed;
  }
  std::shared_ptr<platform::IOpenFolder> OpenChild(const std::filesystem::path& name) override {
    if (FJob.FCancelled) return nullptr;
    auto child = FInner->OpenChild(name);
    return child ? std::make_shared<TCountingFolder>(FJob, std::move(child)) : nullptr;
  }
  void Release() override { FInner->Release(); }

 private:
  TScanJob& FJob;
  std::shared_ptr<platform::IOpenFolder> FInner;
};

class TScanJob::TCountingEnumerator : public platform::IDirectoryEnumerator {
 public:
  explicit TCountingEnumerator(TScanJob& job) : FJob(job) {}
  std::shared_ptr<platform::IOpenFolder> OpenFolder(const std::filesystem::path& folder) override {
    auto inner = FJob.FFolders.OpenFolder(folder);
    return inner ? std::make_shared<TCountingFolder>(FJob, std::move(inner)) : nullptr;
  }
  bool List(const std::filesystem::path& folder,
            std::vector<platform::DirectoryEntry>& entries) override {
    return FJob.FFolders.List(folder, entries);
  }

 private:
  TScanJob& FJob;
};

TScanJob::TScanJob(std::filesystem::path drive, platform::IDirectoryEnumerator& folders,
                   std::function<void(TScanCounts)> onCounts, QObject* parent)
    : TJob(parent), FDrive(std::move(drive)), FFolders(folders), FOnCounts(std::move(onCounts)) {}

TScanJob::~TScanJob() {
  Cancel();
  Abandon();
}

void TScanJob::Run() {
  auto root = std::make_unique<TCustomDir>();
  root->SetAttr(faVolumeId);
  root->SetName(FDrive);
  TCountingEnumerator folders(*this);
  root->Scan(root->Name(), true, folders);
  Post([this, counts = FCounts] { FOnCounts(counts); });  // the final figures
  FResult = std::move(root);
}

void TScanJob::Found(const std::vector<platform::DirectoryEntry>& entries) {
  for (const auto& e : entries) {
    if (e.attr & platform::AttrDirectory)
      ++FCounts.Folders;
    else
      ++FCounts.Files;
  }
  const auto now = std::chrono::steady_clock::now();
  if (now - FLastSent < CountsInterval) return;
  FLastSent = now;
  Post([this, counts = FCounts] { FOnCounts(counts); });
}
