#pragma once
// The main program's message class: the common texts, plus the main
// program's own id whose reports show their text as it stands.

#include "support/uFunctions.h"

class TCDErrorMessage : public TCommonErrorMessage {
 public:
  std::string DisplayText() const override;
  bool SetMessage(TErrorDisplayStatus aStatus, TAppId anApp, std::uint16_t anErrorCode,
                  const std::string& Msg) override;
};

// Makes a TCDErrorMessage the process-wide message object (main program start-up).
void InstallCDErrorMessage();
