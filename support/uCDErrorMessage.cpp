#include "support/uCDErrorMessage.h"

std::string TCDErrorMessage::DisplayText() const {
  // The main program's own reports (code 1 excepted) show their text as it stands.
  if (FAppId == AID_Velmora_Free && FErrorCode != 1) return FMSG;
  return TCommonErrorMessage::DisplayText();
}

bool TCDErrorMessage::SetMessage(TErrorDisplayStatus aStatus, TAppId anApp,
                                 std::uint16_t anErrorCode, const std::string& Msg) {
  const bool accepted = TCommonErrorMessage::SetMessage(aStatus, anApp, anErrorCode, Msg);
  return accepted || FAppId == AID_Velmora_Free;
}

void InstallCDErrorMessage() { InstallCommonErrorMessage(std::make_unique<TCDErrorMessage>()); }
