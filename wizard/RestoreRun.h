#pragma once
// The save run without a window: for each ticked entry, one restore-log line
// (the name column, then the outcome in its colour), the overwrite question
// when the target exists, the damaged-file copier, and an error-log line for
// files skipped, cancelled or not saved. An error in one file's step ends
// that file alone; the run goes on with the next.

#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/BadFileRestorator.h"
#include "engine/FileTree.h"
#include "wizard/Overwrite.h"

class TMAVLogFile;

struct TRgb {
  std::uint8_t r, g, b;
  friend bool operator==(const TRgb&, const TRgb&) = default;
};

inline constexpr TRgb NameColour{2, 80, 125};
inline constexpr TRgb SavedColour{0, 128, 0};
inline constexpr TRgb ExistsColour{128, 0, 0};
inline constexpr TRgb ErrorColour{255, 0, 0};

inline constexpr int NameColumns = 50;
inline constexpr const char* SavedWord = "saved";
inline constexpr const char* ExistsWord = "already exists";
inline constexpr const char* SkippedWord = "skipped";
inline constexpr const char* CanceledWord = "canceled";
inline constexpr const char* ErrorWord = "not saved. Error is occured.";

// What the run needs from the window.
class IRestoreView {
 public:
  virtual ~IRestoreView() = default;
  // Appends text in a colour at the end of the restore log.
  virtual void Insert(const std::string& text, TRgb colour) = 0;
  // A line is complete: keep its end in view.
  virtual void LineDone() = 0;
  // The file about to be saved: its name and size for the progress window.
  virtual void FileStarting(const TCustomFile& entry) = 0;
  virtual TOverwriteAnswer AskOverwrite(const std::string& question) = 0;
};

// At most AMaxLen characters: a longer text keeps its first and last
// (AMaxLen - 3) / 2 characters around "...". Characters, not bytes, count.
std::string ShortenName(const std::string& AText, int AMaxLen);
// The name column: the shortened name filled to 50 columns, then " : ".
std::string NameField(const std::string& relativeName);
// The entry's path below the disc root with its name ("a/b/x.txt").
std::filesystem::path RelativeName(const TCustomFile& entry);
// "File \"x.txt\" is skipped."; with a reason, that line, then " Reason: "
// and the reason ("... Error is occured.. Reason: cannot create ...: Read-only
// file system").
std::string ErrorLogLine(const std::string& name, const std::string& word,
                         const std::string& reason = {});
// " (3 unreadable sectors filled with zeros)"; empty for none.
std::string DamageNote(std::int64_t sectors);

class TRestoreRun {
 public:
  TRestoreRun(IRestoreView& view, TMAVLogFile& errorLog, TFileSaveProc progress,
              std::filesystem::path targetDir, TRestoratorIo io = TRestoratorIo::Current());

  // Saves the entries in order; stops after a cancelled one.
  void Run(const TCustomFileList& list);
  // Saves one entry and writes its line; returns its outcome.
  TFileSaveCancelMode CheckAndSaveFile(const TCustomFile& entry);

 private:
  TFileSaveCancelMode SaveEntry(const TCustomFile& entry, const std::filesystem::path& target);
  // Ends the line with word; the error log gets the name, word and any reason.
  void Failed(const TCustomFile& entry, const char* word, const std::string& reason = {});

  IRestoreView& FView;
  TMAVLogFile& FErrorLog;
  TFileSaveProc FProgress;
  std::filesystem::path FTargetDir;
  TOverwriteRule FOverwrite;
  TRestoratorIo FIo;
};
