#include "engine/FileTree.h"

#include <algorithm>
#include <string>

#include "platform/Files.h"

namespace {

using PathString = std::filesystem::path::string_type;
constexpr auto kDelimiter = static_cast<std::filesystem::path::value_type>(platform::PathDelimiter);

// Appends the delimiter unless the text already ends with one; an empty text
// becomes a lone delimiter.
PathString IncludeTrailingDelimiter(PathString text) {
  if (text.empty() || text.back() != kDelimiter) text.push_back(kDelimiter);
  return text;
}

}  // namespace

IncorrectParameterException::IncorrectParameterException()
    : std::invalid_argument("Parameter has incorrect type.") {}

ListIndexException::ListIndexException(std::int32_t index)
    : std::out_of_range("List index out of bounds (" + std::to_string(index) + ")") {}

// --- TCustomFile -----------------------------------------------------------

TCustomFile::TCustomFile(TCustomDir* ADir) {
  Init();
  FDir = nullptr;
  SetDir(ADir);
}

TCustomFile::~TCustomFile() { SetDir(nullptr); }

void TCustomFile::Init() {
  FName.clear();
  FAttr = 0;
  FSize = 0;
}

void TCustomFile::SetSize(std::int64_t ASize) {
  if (FDir) FDir->FSize -= FSize;
  FSize = ASize;
  if (FDir) FDir->FSize += FSize;
}

void TCustomFile::SetDir(TCustomDir* AValue) {
  if (FDir) FDir->Delete(this);
  if (AValue) AValue->Add(this);
}

std::int32_t TCustomFile::Level() const {
  std::int32_t level = 0;
  for (const TCustomDir* d = FDir; d; d = d->FDir) ++level;
  return level;
}

std::filesystem::path TCustomFile::BuildPath(bool AIncludeDrive) const {
  PathString result;
  for (const TCustomDir* parent = FDir; parent; parent = parent->FDir) {
    if ((parent->FAttr & faVolumeId) && !AIncludeDrive) break;
    PathString name = parent->FName.native();
    if (!result.empty()) name = IncludeTrailingDelimiter(std::move(name));
    result = name + result;
  }
  return result;
}

std::filesystem::path TCustomFile::Path() const { return BuildPath(true); }

std::filesystem::path TCustomFile::PathNoDrive() const { return BuildPath(false); }

std::filesystem::path TCustomFile::FullName() const {
  return IncludeTrailingDelimiter(Path().native()) + FName.native();
}

void TCustomFile::LoadFromRec(const platform::DirectoryEntry& ARec) {
  FName = ARec.name;
  FAttr = static_cast<std::uint8_t>(ARec.attr & 0xFF);
  SetSize(ARec.size);
}

// --- TCustomDir ------------------------------------------------------------

TCustomDir::TCustomDir(TCustomDir* ADir) : TCustomFile(ADir) {}

TCustomDir::~TCustomDir() { Clear(); }

void TCustomDir::Add(TCustomFile* AFile) {
  if (!AFile) throw IncorrectParameterException();
  if (AFile->FDir) AFile->FDir->Delete(AFile);
  AFile->FDir = this;
  FFiles.push_back(AFile);
  FSize += AFile->FSize;
}

void TCustomDir::Delete(TCustomFile* AFile) {
  if (!AFile || AFile->FDir != this) return;
  FSize -= AFile->FSize;
  const auto it = std::find(FFiles.begin(), FFiles.end(), AFile);
  if (it != FFiles.end()) FFiles.erase(it);
  AFile->FDir = nullptr;
}

void TCustomDir::Clear() {
  // Detach first so that the child's destructor does not call back here.
  for (TCustomFile* child : FFiles) {
    child->FDir = nullptr;
    delete child;
  }
  FFiles.clear();
}

TCustomFile* TCustomDir::GetFiles(std::int32_t i) const {
  if (i < 0 || i >= Count()) throw ListIndexException(i);
  return FFiles[static_cast<std::size_t>(i)];
}

// --- TCustomFileList -------------------------------------------------------

void TCustomFileList::Delete(TCustomFile* AFile) {
  const auto it = std::find(FFiles.begin(), FFiles.end(), AFile);
  if (it != FFiles.end()) FFiles.erase(it);
}

TCustomFile* TCustomFileList::GetFiles(std::int32_t i) const {
  if (i < 0 || i >= Count()) throw ListIndexException(i);
  return FFiles[static_cast<std::size_t>(i)];
}

std::int64_t TCustomFileList::Size() const {
  std::int64_t total = 0;
  for (const TCustomFile* f : FFiles) total += f->Size();
  return total;
}
