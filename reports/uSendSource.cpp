#include "reports/uSendSource.h"

#include <algorithm>
#include <cctype>
#include <cfenv>
#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <utility>

#include "platform/Files.h"
#include "platform/MailClient.h"
#include "platform/TempFolder.h"
#include "reports/uProgress.h"

namespace fs = std::filesystem;

namespace {

// Runs aStep and then, whatever happened, aFinally; an error of aStep wins
// over one of aFinally.
template <typename TStep, typename TFinally>
void WithFinally(TStep aStep, TFinally aFinally) {
  try {
    aStep();
  } catch (...) {
    try {
      aFinally();
    } catch (...) {
    }
    throw;
  }
  aFinally();
}

std::runtime_error ZipError(const std::string& aWhat, zip_error_t* anError) {
  return std::runtime_error(aWhat + ": " + zip_error_strerror(anError));
}

// Halves go to the even neighbour, as the archive's percentages are scaled.
std::int64_t RoundHalfEven(double aValue) {
  const int oldMode = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const double rounded = std::nearbyint(aValue);
  std::fesetround(oldMode);
  return static_cast<std::int64_t>(rounded);
}

}  // namespace

TSendSourceItem::TSendSourceItem(std::string aFileName) : FName(std::move(aFileName)) {}

TSendSourceItem::~TSendSourceItem() {
  if (FArchive) {
    zip_discard(FArchive);
    std::error_code ignored;
    fs::remove(FName, ignored);
  }
}

void TSendSourceItem::BeginUpdate() {
  if (FUpdateCounter == 0) {
    std::error_code removeError;
    fs::remove(FName, removeError);
    if (removeError) {
      throw std::runtime_error("Cannot replace \"" + FName + "\": " + removeError.message());
    }
    int code = 0;
    zip_t* archive = zip_open(FName.c_str(), ZIP_CREATE | ZIP_EXCL, &code);
    if (!archive) {
      zip_error_t error;
      zip_error_init_with_code(&error, code);
      const std::runtime_error failure = ZipError("Cannot create \"" + FName + "\"", &error);
      zip_error_fini(&error);
      throw failure;
    }
    FArchive = archive;
    FMembers.clear();
    zip_register_progress_callback_with_state(FArchive, 0.01, &OnZipProgress, nullptr, this);
    zip_register_cancel_callback_with_state(FArchive, &OnZipCancel, nullptr, this);
  }
  ++FUpdateCounter;
}

void TSendSourceItem::EndUpdate() {
  --FUpdateCounter;
  if (FUpdateCounter < 0) FUpdateCounter = 0;
  if (FUpdateCounter != 0 || !FArchive) return;
  zip_t* archive = std::exchange(FArchive, nullptr);
  // The members are read and compressed here.
  if (zip_close(archive) != 0) {
    const std::runtime_error failure =
        ZipError("Cannot write \"" + FName + "\"", zip_get_error(archive));
    zip_discard(archive);
    std::error_code ignored;
    fs::remove(FName, ignored);
    throw failure;
  }
  // The folder is the user's own already; the archive is closed to others as well.
  platform::RestrictToOwner(FName);
}

void TSendSourceItem::AddFiles(const std::string& ADir, const std::string& AFileMask) {
  AddWithProgress("Adding files...", ADir, AFileMask);
}

void TSendSourceItem::AddFile(const std::string& AFileName) {
  const fs::path file(AFileName);
  AddWithProgress("Add files...", file.parent_path().string(), file.filename().string());
}

void TSendSourceItem::AddWithProgress(const std::string& aText, const std::string& ADir,
                                      const std::string& AFileMask) {
  const auto progress = GetMultiProgress();
  progress->StartProgress(aText, 100);
  // The bracket is closed on every way out, also when the archive cannot be
  // started: a progress window must not stay up after a failure.
  WithFinally(
      [&] {
        BeginUpdate();
        WithFinally([&] { AddMatching(ADir, AFileMask); }, [&] { EndUpdate(); });
      },
      [&] { progress->CloseProgress(); });
}

void TSendSourceItem::AddMatching(const std::string& ADir, const std::string& AFileMask) {
  const fs::path base(ADir);
  std::vector<fs::path> found;
  // Links are neither entered nor packed: they could lead out of the folder.
  // A subfolder closed to the user is passed over rather than losing the log.
  for (const fs::directory_entry& entry :
       fs::recursive_directory_iterator(base, fs::directory_options::skip_permission_denied)) {
    if (entry.is_symlink() || !entry.is_regular_file()) continue;
    if (!platform::MatchesFileMask(entry.path().filename().string(), AFileMask)) continue;
    found.push_back(entry.path().lexically_relative(base));
  }
  if (found.empty()) {
    throw std::runtime_error("No file \"" + AFileMask + "\" in \"" + ADir + "\"");
  }
  // The folder's own files first, then those of subfolders.
  std::sort(found.begin(), found.end(), [](const fs::path& a, const fs::path& b) {
    const auto depth = [](const fs::path& p) { return std::distance(p.begin(), p.end()); };
    return std::pair(depth(a), a.generic_string()) < std::pair(depth(b), b.generic_string());
  });
  for (const fs::path& relative : found) {
    const std::string name = relative.generic_string();
    const std::string full = (base / relative).string();
    zip_source_t* source = zip_source_file(FArchive, full.c_str(), 0, -1);
    if (!source) throw ZipError("Cannot read \"" + full + "\"", zip_get_error(FArchive));
    const zip_int64_t index = zip_file_add(FArchive, name.c_str(), source, ZIP_FL_OVERWRITE);
    if (index < 0) {
      zip_source_free(source);
      throw ZipError("Cannot add \"" + full + "\"", zip_get_error(FArchive));
    }
    if (zip_set_file_compression(FArchive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1) !=
        0) {
      throw ZipError("Cannot compress \"" + full + "\"", zip_get_error(FArchive));
    }
    FMembers.push_back(name);
  }
}

void TSendSourceItem::ArchiveFileProgress(const std::string& aFileName, double aProgress,
                                          bool& aCancel) {
  const auto progress = GetMultiProgress();
  progress->ShowMessage("Compressing file " + aFileName);
  progress->DoProgress(RoundHalfEven(aProgress * 100));
  aCancel = progress->IsCanceled();
}

void TSendSourceItem::OnZipProgress(zip_t*, double aFraction, void* aSelf) {
  auto& self = *static_cast<TSendSourceItem*>(aSelf);
  if (self.FMembers.empty()) return;
  // The archive writes its members in order, each taking an equal share of the range.
  const auto count = static_cast<double>(self.FMembers.size());
  const auto at = std::min(self.FMembers.size() - 1,
                           static_cast<std::size_t>(std::max(0.0, aFraction) * count));
  bool cancel = false;
  self.ArchiveFileProgress(self.FMembers[at], aFraction * 100, cancel);
}

int TSendSourceItem::OnZipCancel(zip_t*, void*) { return GetMultiProgress()->IsCanceled() ? 1 : 0; }

TSendSourcePacket::TSendSourcePacket()
    : FTempPath(platform::PrivateTemporaryFolder(SourceSender::PrivateFolderName)) {}

TSendSourceItem& TSendSourcePacket::AddItem(const std::string& AName) {
  FItems.push_back(std::make_unique<TSendSourceItem>(FTempPath + AName + ".zip"));
  return *FItems.back();
}

std::unique_ptr<TSendSourcePacket> SourceSender::CreatePacket() {
  return std::make_unique<TSendSourcePacket>();
}

namespace {

bool IsUsableAddress(const std::string& anAddress) {
  // xdg-email takes an argument starting with "-" as an option and one
  // starting with "mailto:" as a whole link whose parameters it trusts.
  std::string lower = anAddress.substr(0, 7);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return anAddress.find('@') != std::string::npos && anAddress.front() != '-' &&
         lower != "mailto:" &&
         std::none_of(anAddress.begin(), anAddress.end(),
                      [](unsigned char c) { return c < 0x20 || c == 0x7F; });
}

// The body's line breaks as the mail client wants them: "\n".
std::string NormalizeLineBreaks(const std::string& aText) {
  std::string result;
  for (std::size_t i = 0; i < aText.size(); ++i) {
    if (aText[i] == '\r') {
      result += '\n';
      if (i + 1 < aText.size() && aText[i + 1] == '\n') ++i;
    } else {
      result += aText[i];
    }
  }
  return result;
}

}  // namespace

bool SourceSender::SendPacket(TSendSourcePacket& packet, const std::string& email,
                              const std::string& wSubject, const std::string& wBody) {
  if (packet.GetItemCount() == 0) return false;
  const auto progress = GetMultiProgress();
  try {
    progress->StartProgress("Preparing for sending source files...", 0);
    WithFinally(
        [&] {
          platform::TMailMessage message{email, wSubject, NormalizeLineBreaks(wBody), {}};
          for (int i = 0; i < packet.GetItemCount(); ++i) {
            message.Attachments.push_back(packet.GetItem(i).GetFileName());
          }
          progress->ShowMessage("connecting to mail server...");
          progress->ShowMessage("sending...");
          if (!IsUsableAddress(email)) {
            throw platform::EMailException("Recipient " + email + " has invalid address");
          }
          for (const std::string& file : message.Attachments) {
            if (!platform::FileExists(file)) {
              throw platform::EMailException("Attached file \"" + file + "\" not found");
            }
          }
          platform::HandToMailClient(message);
          progress->ShowMessage("disconnecting from mail server...");
          progress->ShowMessage("Sending completed.");
        },
        [&] { progress->CloseProgress(); });
  } catch (const std::exception& e) {
    progress->ShowError(e.what());
    throw;
  }
  return true;
}
