#include "wizard/SaveProgress.h"

#include <algorithm>
#include <cmath>

#include "engine/Drives.h"

namespace {

double Koef(std::int64_t size) {
  return size != 0 ? static_cast<double>(size) / TSaveProgress::BarMax : 1.0;
}

}  // namespace

int TSaveProgress::Position(std::int64_t saved, double koef) {
  // Halves go to the even neighbour, as the bars have always rounded.
  const double exact = static_cast<double>(saved) / koef;
  const double rounded = exact - std::remainder(exact, 1.0);
  return static_cast<int>(std::clamp(rounded, 0.0, static_cast<double>(BarMax)));
}

int TSaveProgress::TotalPosition(std::int64_t saved) const {
  // A run of only empty files has nothing to save: it is all saved at once.
  return FTotalSize == 0 ? BarMax : Position(saved, FTotalKoef);
}

void TSaveProgress::SetFileSize(std::int64_t size) {
  FFileSize = size;
  FFileSaved = 0;
  FFileKoef = Koef(size);
  FFilePosition = 0;
}

std::int64_t TSaveProgress::FileSize() const { return FFileSize; }

void TSaveProgress::SetTotalSize(std::int64_t size) {
  FTotalSize = size;
  FTotalSaved = 0;
  FTotalKoef = Koef(size);
  FTotalPosition = TotalPosition(0);
}

std::int64_t TSaveProgress::TotalSize() const { return FTotalSize; }

void TSaveProgress::Add(std::int64_t saved) {
  FFileSaved += saved;
  FFilePosition = Position(FFileSaved, FFileKoef);
  FTotalSaved += saved;
  FTotalPosition = TotalPosition(FTotalSaved);
}

std::string TSaveProgress::TotalText(const std::string& decimalSeparator) const {
  return FormatSize(FTotalSaved, decimalSeparator) + " of " +
         FormatSize(TotalSize(), decimalSeparator);
}
