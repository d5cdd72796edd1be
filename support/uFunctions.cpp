#include "support/uFunctions.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "platform/Files.h"
#include "platform/LocaleDateTime.h"
#include "platform/SystemInfo.h"
#include "support/TextCodec.h"

const std::string ErrorLogFileName = "Err.log";
std::string ProductDataFolder;

namespace {

// Another program appending to the log holds it only for one short write;
// waiting this long for it loses no line and never stalls a report noticeably.
constexpr std::chrono::milliseconds kLogLockWait(2000);

std::unique_ptr<TCommonErrorMessage>& InstalledMessage() {
  static std::unique_ptr<TCommonErrorMessage> message = std::make_unique<TCommonErrorMessage>();
  return message;
}

// Without a window system the reports that want to be seen go to standard
// error; a confirmation then answers No, the choice that changes nothing.
class TConsoleMessageBox final : public IMessageBox {
 public:
  int Show(TErrorDisplayStatus aStatus, const std::string& aText) override {
    static const char* const kTitles[] = {"", "Information", "Warning", "Error", "Confirm"};
    std::cerr << kTitles[aStatus] << ": " << aText << '\n';
    return aStatus == edsConfirmation ? mrNo : mrOk;
  }
};

IMessageBox*& InstalledBox() {
  static IMessageBox* box = nullptr;
  return box;
}

IMessageBox& CurrentBox() {
  static TConsoleMessageBox console;
  return InstalledBox() ? *InstalledBox() : console;
}

std::string FourHexDigits(std::uint16_t code) {
  char text[5];
  std::snprintf(text, sizeof text, "%04X", code);
  return text;
}

}  // namespace

bool TCommonErrorMessage::IsCommonId(TAppId anApp) {
  return anApp == AID_Common_Components || anApp == AID_Common_Forms;
}

std::string TCommonErrorMessage::AppName() const {
  switch (FAppId) {
    case AID_Common_Components:
      return "Common_Components";
    case AID_Common_Forms:
      return "Common_Forms";
    case AID_Velmora_Free:
      return "Velmora_Free";
    case AID_Launcher:
      break;
  }
  return std::string();
}

std::string TCommonErrorMessage::LogText() const {
  return AppName() + ":" + FourHexDigits(FErrorCode) + " " + DisplayText();
}

std::string TCommonErrorMessage::DisplayText() const {
  if (!IsCommonId(FAppId)) return std::string();
  switch (FErrorCode) {
    case 1:
      return FMSG;
    case 5:
      return "[Copy File]" + FMSG;
    case 6:
      return "File \"" + FMSG + "\"does not exists!";
    case 7:
      return "Can't open file : " + FMSG + platform::OsProductName();
    case 8:
      return "Unable to copy file. Source and destination folders do coincide!";
    default:
      return std::string();
  }
}

bool TCommonErrorMessage::SetMessage(TErrorDisplayStatus aStatus, TAppId anApp,
                                     std::uint16_t anErrorCode, const std::string& Msg) {
  FStatus = aStatus;
  FAppId = anApp;
  FErrorCode = anErrorCode;
  FMSG = Msg;
  return IsCommonId(anApp);
}

TCommonErrorMessage& CommonErrorMessage() { return *InstalledMessage(); }

void InstallCommonErrorMessage(std::unique_ptr<TCommonErrorMessage> aMessage) {
  if (aMessage) InstalledMessage() = std::move(aMessage);
}

void SetMessageBox(IMessageBox* aBox) { InstalledBox() = aBox; }

int WriteErrorMessage(TErrorDisplayStatus aStatus, TAppId anApp, std::uint16_t anErrorCode,
                      const std::string& Msg) {
  TCommonErrorMessage& message = CommonErrorMessage();
  if (!message.SetMessage(aStatus, anApp, anErrorCode, Msg)) {
    AppendErrorLog(
        "Error message system tries to write message with invalid application ID. AppName = " +
        message.AppName() + ".");
    return mrNone;
  }
  // Logged before the box is shown, so the line exists even if the box is never closed.
  AppendErrorLog(message.LogText());
  if (message.Status() == edsSilent) return mrNone;
  return CurrentBox().Show(message.Status(), message.DisplayText());
}

std::string ErrorLogPath() {
  return SysPaths().AnnouncePath(ProductDataFolder + platform::PathDelimiter + ErrorLogFileName,
                                 '*');
}

void AppendErrorLog(const std::string& aText) {
  try {
    // A report before start-up set the folder would otherwise land at the file-system root.
    if (ProductDataFolder.empty()) InitProductDataFolder();
    const std::filesystem::path path = ErrorLogPath();
    platform::ForceFileFolder(path);
    const std::string line = platform::LocalDateTimeText() + " : " + aText + "\r\n";
    platform::AppendToFile(path, support::Utf8ToUtf16LE(line), kLogLockWait);
  } catch (...) {
    // Logging must never take the program down; the line is lost.
  }
}

void InitProductDataFolder() {
  ProductDataFolder = SysPaths().AnnouncePath(
      std::string("*LOCAL_APPDATA*") + platform::PathDelimiter + "Velmora Free", '*');
}

std::string AddTrailingBackslash(const std::string& aPath) {
  if (aPath.empty() || aPath.back() == platform::PathDelimiter) return aPath;
  return aPath + platform::PathDelimiter;
}
