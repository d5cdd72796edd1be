#include "launcher/UTLauncherErrorMessage.h"

std::string TLauncherErrorMessage::DisplayText() const {
  std::string text = TCommonErrorMessage::DisplayText();
  if (FAppId != AID_Launcher) return text;
  switch (FErrorCode) {
    case 1:
      return "[MainForm Error]: " + FMSG;
    case 2:
      return "Both settings files " + FMSG + " absent. The process terminated.";
    case 3:
      return "Could not create setup process. " + FMSG;
    case 4:
      return "Could not create Velmora Free process. " + FMSG;
    default:
      return FMSG;
  }
}

bool TLauncherErrorMessage::SetMessage(TErrorDisplayStatus aStatus, TAppId anApp,
                                       std::uint16_t anErrorCode, const std::string& Msg) {
  const bool accepted = TCommonErrorMessage::SetMessage(aStatus, anApp, anErrorCode, Msg);
  return accepted || anApp == AID_Launcher;
}

void InstallLauncherErrorMessage() {
  InstallCommonErrorMessage(std::make_unique<TLauncherErrorMessage>());
}
