#pragma once
// The save progress window's figures without a window: the two bars'
// positions, the total's label and the pending Skip or Cancel request.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

enum TSaveProgressCancelState {
  spcNormal,  // no request
  spcSkip,    // Skip was pressed
  spcCancel,  // Cancel was pressed
};

// The pending Skip or Cancel, shared by the progress window (which stores a
// press) and the save job on its worker thread (which takes it at each
// copier event); hence atomic.
class TCancelRequest {
 public:
  void Skip() { FState = spcSkip; }
  void Cancel() { FState = spcCancel; }
  // The window is closing: every later reading is Cancel, whatever is pressed
  // or dropped meanwhile.
  void Close() { FClosing = true; }
  bool Closing() const { return FClosing; }
  // Reading the request consumes it: each press is delivered once.
  TSaveProgressCancelState Take() {
    const TSaveProgressCancelState state = FState.exchange(spcNormal);
    return FClosing ? spcCancel : state;
  }
  void Drop() { FState = spcNormal; }

 private:
  std::atomic<TSaveProgressCancelState> FState{spcNormal};
  std::atomic<bool> FClosing{false};
};

class TSaveProgress {
 public:
  static constexpr int BarMax = 100;

  // Setting a size restarts its bar and counter.
  void SetFileSize(std::int64_t size);
  std::int64_t FileSize() const;
  void SetTotalSize(std::int64_t size);
  std::int64_t TotalSize() const;
  // Bytes saved (0 only refreshes): both counters grow.
  void Add(std::int64_t saved);

  std::int64_t FileSaved() const { return FFileSaved; }
  std::int64_t TotalSaved() const { return FTotalSaved; }
  // The bars' positions, held within 0..BarMax; a run with nothing to save
  // shows a full total bar.
  int FilePosition() const { return FFilePosition; }
  int TotalPosition() const { return FTotalPosition; }
  // "1.50 MB of 4.70 GB", with the given decimal separator.
  std::string TotalText(const std::string& decimalSeparator) const;

  // The buttons store a request; a later press replaces one not yet collected.
  void Skip() { FRequest->Skip(); }
  void Cancel() { FRequest->Cancel(); }
  // Reading the request consumes it: each press is delivered once.
  TSaveProgressCancelState CancelState() { return FRequest->Take(); }
  // A hidden window drops its pending request.
  void Hidden() { FRequest->Drop(); }
  // The request, for the job that takes it on its own thread.
  const std::shared_ptr<TCancelRequest>& Request() const { return FRequest; }

 private:
  static int Position(std::int64_t saved, double koef);
  int TotalPosition(std::int64_t saved) const;
  std::int64_t FFileSize = 0;
  std::int64_t FTotalSize = 0;
  std::int64_t FFileSaved = 0;
  std::int64_t FTotalSaved = 0;
  double FTotalKoef = 1;  // bytes per percent of the total bar
  double FFileKoef = 1;   // bytes per percent of the file bar
  int FFilePosition = 0;
  int FTotalPosition = 0;
  std::shared_ptr<TCancelRequest> FRequest = std::make_shared<TCancelRequest>();
};
