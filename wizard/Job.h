#pragma once
// Work that waits on a disc, run on a worker thread of its own (K3b's
// Job/ThreadJob). Run() never touches a widget: it reports through Post,
// whose functions run on the window's thread in the order posted, and asks
// through Ask, which waits for the window's answer. The window's thread never
// waits for the worker while it works: the worker is joined only once its
// last function has been posted.
//
// The queue is guarded by a std::mutex of its own rather than relying on
// Qt's event queue to carry the data, so that ThreadSanitizer sees every
// hand-over between the threads.

#include <QObject>

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

class TJob : public QObject {
  Q_OBJECT
 public:
  explicit TJob(QObject* parent = nullptr) : QObject(parent) {}
  // A job still running is abandoned: a pending question returns no answer
  // and the worker is joined. Derived jobs stop their work (a cancel flag)
  // and call Abandon() in their own destructor, before their members go.
  ~TJob() override;
  TJob(const TJob&) = delete;
  TJob& operator=(const TJob&) = delete;

  // Starts Run() on the worker. Called once, on the window's thread.
  void Start();
  bool Running() const { return FThread.joinable(); }

  // Called on the window's thread once the worker has ended, after every
  // posted function; error is null when Run() returned normally. It may
  // destroy the job only through deleteLater().
  std::function<void(std::exception_ptr error)> OnFinished;

 protected:
  // The work, on the worker thread.
  virtual void Run() = 0;
  // Runs fn on the window's thread, after everything posted before.
  void Post(std::function<void()> fn);
  // Runs fn on the window's thread and waits for its result.
  template <class T>
  T Ask(std::function<T()> fn);
  // See the destructor.
  void Abandon();

 private:
  struct TAbandoned {};  // not a std::exception: no catch in the work swallows it
  // Invoked by name, so that the wake-up Qt queues is made and read inside
  // Qt alone: nothing of ours crosses its queue.
  Q_INVOKABLE void Drain();

  std::mutex FMutex;
  std::condition_variable FAnswered;
  std::deque<std::function<void()>> FQueue;  // guarded by FMutex
  bool FAbandoned = false;                   // guarded by FMutex
  std::thread FThread;
};

template <class T>
T TJob::Ask(std::function<T()> fn) {
  std::optional<T> answer;  // guarded by FMutex
  Post([this, &answer, &fn] {
    T a = fn();
    const std::lock_guard lock(FMutex);
    answer = a;
    FAnswered.notify_all();
  });
  std::unique_lock lock(FMutex);
  FAnswered.wait(lock, [&] { return answer.has_value() || FAbandoned; });
  if (!answer) throw TAbandoned{};
  return *answer;
}
