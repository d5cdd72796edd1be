#include "wizard/Job.h"

TJob::~TJob() { Abandon(); }

void TJob::Start() {
  FThread = std::thread([this] {
    std::exception_ptr error;
    try {
      Run();
    } catch (const TAbandoned&) {
      return;  // the window is gone: nobody to tell
    } catch (...) {
      error = std::current_exception();
    }
    Post([this, error] {
      FThread.join();  // the worker has nothing left but to end
      if (OnFinished) OnFinished(error);
    });
  });
}

void TJob::Abandon() {
  {
    const std::lock_guard lock(FMutex);
    FAbandoned = true;
    FQueue.clear();
    FAnswered.notify_all();
  }
  if (FThread.joinable()) FThread.join();
}

void TJob::Post(std::function<void()> fn) {
  {
    const std::lock_guard lock(FMutex);
    if (FAbandoned) return;
    FQueue.push_back(std::move(fn));
  }
  // Only a wake-up crosses Qt's queue; dropped if the job is destroyed first.
  QMetaObject::invokeMethod(this, "Drain", Qt::QueuedConnection);
}

void TJob::Drain() {
  // One function at a time, outside the lock: a function may open a dialog
  // whose event loop drains again.
  for (;;) {
    std::function<void()> fn;
    {
      const std::lock_guard lock(FMutex);
      if (FQueue.empty()) return;
      fn = std::move(FQueue.front());
      FQueue.pop_front();
    }
    fn();
  }
}
