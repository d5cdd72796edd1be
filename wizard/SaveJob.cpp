#include "wizard/SaveJob.h"

// The restore view on the worker's side: each call becomes the same call on
// the window's view, on the window's thread.
class TSaveJob::TPostedView : public IRestoreView {
 public:
  explicit TPostedView(TSaveJob& job) : FJob(job) {}
  void Insert(const std::string& text, TRgb colour) override {
    FJob.Post([view = &FJob.FWindowView, text, colour] { view->Insert(text, colour); });
  }
  void LineDone() override {
    FJob.Post([view = &FJob.FWindowView] { view->LineDone(); });
  }
  void FileStarting(const TCustomFile& entry) override {
    FJob.Post([view = &FJob.FWindowView, &entry] { view->FileStarting(entry); });
  }
  TOverwriteAnswer AskOverwrite(const std::string& question) override {
    return FJob.Ask<TOverwriteAnswer>(
        [view = &FJob.FWindowView, &question] { return view->AskOverwrite(question); });
  }

 private:
  TSaveJob& FJob;
};

TSaveJob::TSaveJob(TSaveJobSetup setup, IRestoreView& windowView, TSaveEventProc onEvent,
                   QObject* parent)
    : TJob(parent),
      FSetup(std::move(setup)),
      FWindowView(windowView),
      FOnEvent(std::move(onEvent)) {}

TSaveJob::~TSaveJob() {
  FSetup.Request->Close();  // a copy in progress stops at its next event
  Abandon();
}

void TSaveJob::Run() {
  TPostedView view(*this);
  TRestoreRun run(
      view, *FSetup.ErrorLog,
      [this](TFileSaveEventType e, const std::filesystem::path& n, std::int64_t s,
             TFileSaveCancelMode& m) { Progress(e, n, s, m); },
      FSetup.TargetDir, FSetup.Io);
  run.Run(FList);
  FlushProgress();
}

void TSaveJob::FlushProgress() {
  FLastFlush = std::chrono::steady_clock::now();
  if (!FHasPending) return;
  Post([this, name = FPendingName, size = FPendingBytes] { FOnEvent(fseProgress, name, size); });
  FHasPending = false;
  FPendingBytes = 0;
}

void TSaveJob::Progress(TFileSaveEventType event, const std::filesystem::path& name,
                        std::int64_t size, TFileSaveCancelMode& mode) {
  if (event == fseProgress) {
    FPendingName = name;
    FPendingBytes += size;
    FHasPending = true;
    if (std::chrono::steady_clock::now() - FLastFlush >= ProgressInterval) FlushProgress();
  } else {
    FlushProgress();
    Post([this, event, name, size] { FOnEvent(event, name, size); });
  }
  switch (FSetup.Request->Take()) {
    case spcSkip:
      mode = fscSkip;
      break;
    case spcCancel:
      mode = fscCancel;
      break;
    case spcNormal:
      break;
  }
}
