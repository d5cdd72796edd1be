#pragma once
// The launcher's message class: the common texts, plus the launcher's own
// reports (codes 1 to 4) with their display texts.

#include "support/uFunctions.h"

class TLauncherErrorMessage : public TCommonErrorMessage {
 public:
  std::string DisplayText() const override;
  bool SetMessage(TErrorDisplayStatus aStatus, TAppId anApp, std::uint16_t anErrorCode,
                  const std::string& Msg) override;
};

// Makes a TLauncherErrorMessage the process-wide message object (launcher start-up).
void InstallLauncherErrorMessage();
