#pragma once
// The disc scan as a job: the folder tree is read on the worker thread into a
// model of its own, which the window takes over only when the scan has
// finished without Cancel. Meanwhile the counts of folders and files found
// so far go to the window at most ten times a second.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

#include "engine/FileTree.h"
#include "platform/DirectoryList.h"
#include "wizard/Job.h"

struct TScanCounts {
  std::int64_t Folders = 0;
  std::int64_t Files = 0;
};

class TScanJob : public TJob {
 public:
  // onCounts is called on the window's thread.
  TScanJob(std::filesystem::path drive, platform::IDirectoryEnumerator& folders,
           std::function<void(TScanCounts)> onCounts, QObject* parent = nullptr);
  ~TScanJob() override;

  // Ends the scan at its next folder; the result is then dropped.
  void Cancel() { FCancelled = true; }
  bool Cancelled() const { return FCancelled; }
  // The scanned disc, once the job has finished; null after Cancel.
  std::unique_ptr<TCustomDir> TakeResult() { return FCancelled ? nullptr : std::move(FResult); }

  static constexpr std::chrono::milliseconds CountsInterval{100};

 protected:
  void Run() override;

 private:
  class TCountingFolder;
  class TCountingEnumerator;
  void Found(const std::vector<platform::DirectoryEntry>& entries);

  std::filesystem::path FDrive;
  platform::IDirectoryEnumerator& FFolders;
  std::function<void(TScanCounts)> FOnCounts;
  std::atomic<bool> FCancelled{false};
  std::unique_ptr<TCustomDir> FResult;  // the worker's until the job has finished
  TScanCounts FCounts;                  // the worker's
  std::chrono::steady_clock::time_point FLastSent;
};
