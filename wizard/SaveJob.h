#pragma once
// The save run as a job: TRestoreRun on the worker thread. The restore log's
// pieces, the copier's events and the overwrite question go to the window's
// thread in the order they happen; Skip and Cancel come back as the shared
// request, taken at each copier event.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

#include "engine/BadFileRestorator.h"
#include "engine/FileTree.h"
#include "wizard/Job.h"
#include "wizard/RestoreRun.h"
#include "wizard/SaveProgress.h"

class TMAVLogFile;

// What the job is handed when it is made, so that it reads no process-wide
// setting while it runs.
struct TSaveJobSetup {
  std::filesystem::path TargetDir;
  TMAVLogFile* ErrorLog = nullptr;
  TRestoratorIo Io = TRestoratorIo::Current();
  std::shared_ptr<TCancelRequest> Request = std::make_shared<TCancelRequest>();
};

// A copier event as the progress window shows it (no running result: the
// window answers through the request).
using TSaveEventProc = std::function<void(TFileSaveEventType event,
                                          const std::filesystem::path& name, std::int64_t size)>;

class TSaveJob : public TJob {
 public:
  // windowView and onEvent are called on the window's thread only; the
  // listed entries must not change until the job has finished.
  TSaveJob(TSaveJobSetup setup, IRestoreView& windowView, TSaveEventProc onEvent,
           QObject* parent = nullptr);
  ~TSaveJob() override;

  TCustomFileList& List() { return FList; }
  const std::shared_ptr<TCancelRequest>& Request() const { return FSetup.Request; }

 protected:
  void Run() override;

 private:
  class TPostedView;
  void Progress(TFileSaveEventType event, const std::filesystem::path& name, std::int64_t size,
                TFileSaveCancelMode& mode);
  void FlushProgress();

  TSaveJobSetup FSetup;
  IRestoreView& FWindowView;
  TSaveEventProc FOnEvent;
  TCustomFileList FList;
  // Progress not yet sent: a copier sends one event per 2048-byte block, far
  // more than a window can paint, so the job sums them and sends the sum at
  // most every ProgressInterval, and always before any other event. The
  // window then never falls behind the copier by more than that.
  std::filesystem::path FPendingName;
  std::int64_t FPendingBytes = 0;
  bool FHasPending = false;
  std::chrono::steady_clock::time_point FLastFlush;

 public:
  static constexpr std::chrono::milliseconds ProgressInterval{25};
};
