#pragma once
// The support library's error-message system, shared by both programs: a
// numbered report is logged to "Err.log" in the product data folder (one
// UTF-16LE line per report) and shown in a message box as its status says.
// Also the product data folder and a few text routines.

#include <cstdint>
#include <memory>
#include <string>

#include "support/uSysPath.h"

// Whether and how the user is told of a report.
enum TErrorDisplayStatus : std::uint8_t {
  edsSilent,
  edsInformation,
  edsWarning,
  edsError,
  edsConfirmation,
};

// Which program or library area reports.
enum TAppId : std::uint8_t {
  AID_Common_Components = 0,
  AID_Common_Forms = 1,
  AID_Velmora_Free = 4,
  AID_Launcher = 33,
};

// Button identifiers returned by WriteErrorMessage, as the toolkits' modal results.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

// The last report, turned into a display text and a log text. Each program
// installs one object of this class or of a subclass with its own texts.
class TCommonErrorMessage {
 public:
  virtual ~TCommonErrorMessage() = default;

  TErrorDisplayStatus Status() const { return FStatus; }
  TAppId AppId() const { return FAppId; }
  std::uint16_t ErrorCode() const { return FErrorCode; }
  std::string AppName() const;  // "" for an id without a name

  virtual std::string LogText() const;
  virtual std::string DisplayText() const;
  // Stores the four values (always) and tells whether the id is accepted.
  virtual bool SetMessage(TErrorDisplayStatus aStatus, TAppId anApp, std::uint16_t anErrorCode,
                          const std::string& Msg);

 protected:
  static bool IsCommonId(TAppId anApp);

  TErrorDisplayStatus FStatus = edsSilent;
  TAppId FAppId = AID_Common_Components;
  std::uint16_t FErrorCode = 0;
  std::string FMSG;  // UTF-8
};

// The process-wide message object; a plain TCommonErrorMessage until the
// program installs its own.
TCommonErrorMessage& CommonErrorMessage();
void InstallCommonErrorMessage(std::unique_ptr<TCommonErrorMessage> aMessage);

// Shows a report to the user. The windows install a Qt implementation; the
// library itself needs none to be testable.
class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  // Shows aText modally in the box of aStatus (never edsSilent) and returns
  // the button that closed it (mrOk, mrYes, mrNo).
  virtual int Show(TErrorDisplayStatus aStatus, const std::string& aText) = 0;
};
// Installs the box (not owned); nullptr restores the default, which writes
// the text to standard error and answers mrOk (mrNo for a confirmation).
void SetMessageBox(IMessageBox* aBox);

// Logs a report and shows it as its status says; the button that closed the
// box, or mrNone when none was shown.
int WriteErrorMessage(TErrorDisplayStatus aStatus, TAppId anApp, std::uint16_t anErrorCode,
                      const std::string& Msg);

// Appends one line (local date-time, " : ", aText, CR LF) to the error log in
// UTF-16LE without a byte-order mark, creating the folder when missing. Never
// raises; waits briefly for another writer rather than losing the line.
void AppendErrorLog(const std::string& aText);

// The error log's file name, "Err.log".
extern const std::string ErrorLogFileName;
// The product data folder, set once by InitProductDataFolder.
extern std::string ProductDataFolder;

// Sets ProductDataFolder to "*LOCAL_APPDATA*/Velmora Free" expanded.
void InitProductDataFolder();
// The full path of the error log: ProductDataFolder, delimiter, ErrorLogFileName.
std::string ErrorLogPath();

// Appends the platform's path delimiter unless aPath is empty or ends with it.
std::string AddTrailingBackslash(const std::string& aPath);

// Hexadecimal text to a 32-bit integer; -1 (and a silent report) for a
// character that is no hexadecimal digit.
std::int32_t HexToInt(const std::string& aText);
