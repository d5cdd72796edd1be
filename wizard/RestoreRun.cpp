#include "wizard/RestoreRun.h"

#include <system_error>
#include <vector>

#include "diagnostics/uMAVCallStack.h"
#include "diagnostics/uMAVLogFile.h"
#include "platform/EscapeForDisplay.h"

namespace {

namespace fs = std::filesystem;

// Byte offsets where the UTF-8 characters of text begin.
std::vector<std::size_t> CharacterStarts(const std::string& text) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < text.size(); ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
  return starts;
}

}  // namespace

std::string ShortenName(const std::string& AText, int AMaxLen) {
  const std::vector<std::size_t> starts = CharacterStarts(AText);
  const auto count = static_cast<int>(starts.size());
  if (count <= AMaxLen) return AText;
  const int k = (AMaxLen - 3) / 2;
  if (k <= 0) return "...";
  return AText.substr(0, starts[k]) + "..." + AText.substr(starts[count - k]);
}

std::string NameField(const std::string& relativeName) {
  std::string field = ShortenName(relativeName, NameColumns);
  const auto width = static_cast<int>(CharacterStarts(field).size());
  if (width < NameColumns) field.append(NameColumns - width, ' ');
  return field + " : ";
}

fs::path RelativeName(const TCustomFile& entry) {
  const fs::path below = entry.PathNoDrive();
  return below.empty() ? entry.Name() : below / entry.Name();
}

std::string ErrorLogLine(const std::string& name, const std::string& word,
                         const std::string& reason) {
  const std::string line = "File \"" + name + "\" is " + word + ".";
  // The reason may quote a target path, which holds the disc's name as it is.
  return reason.empty() ? line : line + " Reason: " + platform::EscapeForDisplay(reason);
}

std::string DamageNote(std::int64_t sectors) {
  if (sectors <= 0) return {};
  return " (" + std::to_string(sectors) +
         (sectors == 1 ? " unreadable sector" : " unreadable sectors") + " filled with zeros)";
}

TRestoreRun::TRestoreRun(IRestoreView& view, TMAVLogFile& errorLog, TFileSaveProc progress,
                         fs::path targetDir, TRestoratorIo io)
    : FView(view),
      FErrorLog(errorLog),
      FProgress(std::move(progress)),
      FTargetDir(std::move(targetDir)),
      FIo(io) {}

void TRestoreRun::Run(const TCustomFileList& list) {
  for (std::int32_t i = 0; i < list.Count(); ++i)
    if (CheckAndSaveFile(*list.Files(i)) == fscCancel) break;
}

TFileSaveCancelMode TRestoreRun::CheckAndSaveFile(const TCustomFile& entry) {
  FView.FileStarting(entry);
  const fs::path relative = RelativeName(entry);
  FView.Insert(NameField(platform::EscapeForDisplay(relative.string())), NameColour);
  const fs::path target = FTargetDir / relative;
  CallStack().Push("CheckFileInfo and SaveFile").Params().SetValues("File", entry.Name().string());
  TFileSaveCancelMode outcome = fscNormal;
  try {
    outcome = SaveEntry(entry, target);
  } catch (const std::exception& e) {
    // A name the target cannot hold, a folder that cannot be made or has
    // vanished: this file is not saved, the others still are.
    outcome = fscError;
    Failed(entry, ErrorWord, FailureText(e));
  }
  FView.LineDone();
  CallStack().Pop();
  return outcome;
}

TFileSaveCancelMode TRestoreRun::SaveEntry(const TCustomFile& entry, const fs::path& target) {
  if (dynamic_cast<const TCustomDir*>(&entry)) {
    // A ticked empty folder is recreated as a folder.
    fs::create_directories(target);
    FView.Insert(SavedWord, SavedColour);
    FView.Insert("\n", SavedColour);
    return fscNormal;
  }
  std::error_code ec;
  if (fs::is_directory(target, ec)) {
    // Writing over a folder would need its contents gone: never asked, never done.
    Failed(entry, ErrorWord, "a folder of this name is in the target folder.");
    return fscError;
  }
  const bool exists = fs::exists(target, ec);
  if (!FOverwrite.MayWrite(exists, [&] {
        return FView.AskOverwrite(
            OverwriteQuestion(platform::EscapeForDisplay(entry.Name().string())));
      })) {
    FView.Insert(ExistsWord, ExistsColour);
    FView.Insert("\n", ExistsColour);
    return fscNormal;
  }
  TFileSaveReport report;
  const TFileSaveCancelMode outcome =
      BadFileRestorator::SaveFile(entry.FullName(), target, FProgress, FIo, nullptr, &report);
  switch (outcome) {
    case fscNormal:
      FView.Insert(SavedWord, SavedColour);
      FView.Insert(DamageNote(report.UnreadableSectors()), ErrorColour);
      FView.Insert("\n", SavedColour);
      break;
    case fscSkip:
      Failed(entry, SkippedWord);
      break;
    case fscCancel:
      Failed(entry, CanceledWord);
      break;
    case fscError:
      Failed(entry, ErrorWord, report.Error);
      break;
  }
  return outcome;
}

void TRestoreRun::Failed(const TCustomFile& entry, const char* word, const std::string& reason) {
  FView.Insert(word, ErrorColour);
  FView.Insert("\n", ErrorColour);
  FErrorLog.LogMessage(
      ErrorLogLine(platform::EscapeForDisplay(entry.Name().string()), word, reason));
}
