#include "reports/uProgress.h"

#include <algorithm>

void TNullProgress::StartProgress(const std::string&, std::int64_t) { ++_level; }
void TNullProgress::DoProgress(std::int64_t) {}
void TNullProgress::ShowMessage(const std::string&) {}
void TNullProgress::ShowError(const std::string&) {}
void TNullProgress::CloseProgress() { _level = std::max(_level - 1, 0); }
bool TNullProgress::IsCanceled() { return false; }

TMultiProgress::TMultiProgress(std::span<const IProgressRef> aListeners) { Add(aListeners); }

TMultiProgress::~TMultiProgress() {
  // A destructor must not throw: a listener's error here has nobody to reach.
  try {
    CloseProgress();
  } catch (...) {
  }
}

template <typename TCall>
void TMultiProgress::FanOut(TCall aCall) {
  std::lock_guard lock(FLock);
  // By index and with a held reference: a listener may change the list
  // (or drop its own last reference) while it is being called.
  for (std::size_t i = 0; i < FList.size(); ++i) {
    const IProgressRef listener = FList[i];
    aCall(*listener);
  }
}

void TMultiProgress::StartProgress(const std::string& aText, std::int64_t aCount) {
  TNullProgress::StartProgress(aText, aCount);
  FanOut([&](IProgress& l) { l.StartProgress(aText, aCount); });
}

void TMultiProgress::DoProgress(std::int64_t aPosition) {
  TNullProgress::DoProgress(aPosition);
  FanOut([&](IProgress& l) { l.DoProgress(aPosition); });
}

void TMultiProgress::ShowMessage(const std::string& aText) {
  TNullProgress::ShowMessage(aText);
  FanOut([&](IProgress& l) { l.ShowMessage(aText); });
}

void TMultiProgress::ShowError(const std::string& aText) {
  TNullProgress::ShowError(aText);
  FanOut([&](IProgress& l) { l.ShowError(aText); });
}

void TMultiProgress::CloseProgress() {
  TNullProgress::CloseProgress();
  FanOut([](IProgress& l) { l.CloseProgress(); });
}

bool TMultiProgress::IsCanceled() {
  if (TNullProgress::IsCanceled()) return true;
  std::lock_guard lock(FLock);
  for (std::size_t i = 0; i < FList.size(); ++i) {
    const IProgressRef listener = FList[i];
    if (listener->IsCanceled()) return true;
  }
  return false;
}

void TMultiProgress::Add(std::span<const IProgressRef> aListeners) {
  std::lock_guard lock(FLock);
  for (const IProgressRef& listener : aListeners) {
    if (listener && std::find(FList.begin(), FList.end(), listener) == FList.end()) {
      FList.push_back(listener);
    }
  }
}

void TMultiProgress::Remove(std::span<const IProgressRef> aListeners) {
  std::lock_guard lock(FLock);
  for (const IProgressRef& listener : aListeners) {
    const auto at = std::find(FList.begin(), FList.end(), listener);
    if (at != FList.end()) FList.erase(at);
  }
}

void TMultiProgress::RemoveAll() {
  std::vector<IProgressRef> released;
  {
    std::lock_guard lock(FLock);
    released.swap(FList);
  }
  // The references go after the lock: a listener's destructor may call back.
}

int TMultiProgress::Count() const {
  std::lock_guard lock(FLock);
  return static_cast<int>(FList.size());
}

std::shared_ptr<IMultiProgress> GetMultiProgress() {
  static const std::shared_ptr<IMultiProgress> global = std::make_shared<TMultiProgress>();
  return global;
}
