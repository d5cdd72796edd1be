#include "support/uUILanguage.h"

#include <exception>

#include "platform/UILanguage.h"
#include "support/uFunctions.h"
#include "support/uWorkWithRegistry.h"

std::uint16_t GetUILanguage() { return platform::ThreadUILanguage(); }

std::int32_t FormLanguageId() {
  const std::int32_t override = RegistryUtils::GetIntegerValue("\\Software\\Velmora Free", "LCID");
  return override != 0 ? override : static_cast<std::int32_t>(GetUILanguage());
}

bool FormIsRightToLeft() {
  try {
    return FormLanguageId() == RightToLeftLanguageId;
  } catch (const std::exception&) {
    WriteErrorMessage(edsSilent, AID_Common_Forms, 1,
                      "[TMultiForm.CreateParams] can not get UILang");
    return false;
  }
}
