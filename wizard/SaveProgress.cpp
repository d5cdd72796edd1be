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

void TSaveProgress::SetFileSize(std::int64_t size) {
  FFilePosition = 0;
  FFileSaved = 0;
  FFileKoef = Koef(size);
}

std::int64_t TSaveProgress::FileSize() const { return std::llround(BarMax * FFileKoef); }

void TSaveProgress::SetTotalSize(std::int64_t size) {
  FTotalPosition = 0;
  FTotalSaved = 0;
  FTotalKoef = Koef(size);
}

std::int64_t TSaveProgress::TotalSize() const { return std::llround(BarMax * FTotalKoef); }

void TSaveProgress::Add(std::int64_t saved) {
  FFileSaved += saved;
  FFilePosition = Position(FFileSaved, FFileKoef);
  FTotalSaved += saved;
  FTotalPosition = Position(FTotalSaved, FTotalKoef);
}

std::string TSaveProgress::TotalText(const std::string& decimalSeparator) const {
  return FormatSize(FTotalSaved, decimalSeparator) + " of " +
         FormatSize(TotalSize(), decimalSeparator);
}
