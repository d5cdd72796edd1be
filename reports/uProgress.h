#pragma once
// Progress reporting without knowing who listens: a long operation talks to
// an IProgress, and the process-wide composite (GetMultiProgress) passes
// every call on to the listeners registered with it. Objects are shared
// through std::shared_ptr; the last reference frees them.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

class IProgress {
 public:
  virtual ~IProgress() = default;
  // An operation begins; aCount is the total amount announced for it.
  virtual void StartProgress(const std::string& aText, std::int64_t aCount) = 0;
  virtual void DoProgress(std::int64_t aPosition) = 0;  // the amount done so far
  virtual void ShowMessage(const std::string& aText) = 0;
  virtual void ShowError(const std::string& aText) = 0;
  virtual void CloseProgress() = 0;  // the operation that began last has ended
  virtual bool IsCanceled() = 0;     // whether the user asked to stop
};

using IProgressRef = std::shared_ptr<IProgress>;

class IMultiProgress : public virtual IProgress {
 public:
  // Registers each listener once; a listener already there keeps its place.
  virtual void Add(std::span<const IProgressRef> aListeners) = 0;
  // Unregisters each listener; one that is not registered is ignored.
  virtual void Remove(std::span<const IProgressRef> aListeners) = 0;
  virtual void RemoveAll() = 0;

  void Add(std::initializer_list<IProgressRef> aListeners) { Add(std::span(aListeners)); }
  void Remove(std::initializer_list<IProgressRef> aListeners) { Remove(std::span(aListeners)); }
};

// A listener that does nothing but count the open StartProgress brackets.
class TNullProgress : public virtual IProgress {
 public:
  void StartProgress(const std::string& aText, std::int64_t aCount) override;
  void DoProgress(std::int64_t aPosition) override;
  void ShowMessage(const std::string& aText) override;
  void ShowError(const std::string& aText) override;
  void CloseProgress() override;
  bool IsCanceled() override;

  int Level() const { return _level; }

 private:
  int _level = 0;  // StartProgress calls not yet closed; never below 0
};

// The composite: every call goes to each listener in the order they were
// added, under a lock that the calling thread may take again, so that a
// listener can add or remove listeners from within a call. An error of a
// listener ends the fan-out and reaches the caller.
class TMultiProgress final : public TNullProgress, public IMultiProgress {
 public:
  explicit TMultiProgress(std::span<const IProgressRef> aListeners = {});
  // Every listener still registered receives one CloseProgress.
  ~TMultiProgress() override;
  TMultiProgress(const TMultiProgress&) = delete;
  TMultiProgress& operator=(const TMultiProgress&) = delete;

  void StartProgress(const std::string& aText, std::int64_t aCount) override;
  void DoProgress(std::int64_t aPosition) override;
  void ShowMessage(const std::string& aText) override;
  void ShowError(const std::string& aText) override;
  void CloseProgress() override;
  bool IsCanceled() override;

  using IMultiProgress::Add;
  using IMultiProgress::Remove;
  void Add(std::span<const IProgressRef> aListeners) override;
  void Remove(std::span<const IProgressRef> aListeners) override;
  void RemoveAll() override;
  int Count() const;

 private:
  template <typename TCall>
  void FanOut(TCall aCall);

  mutable std::recursive_mutex FLock;
  std::vector<IProgressRef> FList;  // each listener once, in the order added
};

// The process-wide composite, created on first use; every call returns it.
// The program itself adds no listener (the error-report packing reports
// through it so that a window or a test can listen without the packer
// knowing); the tests observe the packing by adding one.
std::shared_ptr<IMultiProgress> GetMultiProgress();
