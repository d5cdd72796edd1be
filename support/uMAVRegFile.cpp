// TMAVRegFile and the process-wide SettingsStore.

#include "support/uMAVRegFile.h"

#include <exception>

using platform::TRegistry;

std::unique_ptr<TRegistry> TMAVRegFile::OpenNode() const {
  if (FRoot.empty()) throw platform::ERegistryException("Registry node is not defined.");
  auto node = std::make_unique<TRegistry>(platform::raFull);
  node->SetRootKey(platform::HKEY_CURRENT_USER);
  // The node path is always taken from the root, with or without a leading "\".
  if (!node->OpenKey(FRoot.front() == '\\' ? FRoot : "\\" + FRoot, true)) {
    throw platform::ERegistryException("cannot open the registry node " + FRoot);
  }
  return node;
}

std::string TMAVRegFile::GetStrValue(const std::string& ASection, const std::string& AKey,
                                     const std::string& ADefault) const {
  try {
    const auto node = OpenNode();
    // The section is a subkey of the node: a relative path.
    if (!node->OpenKey(ASection, false) || !node->ValueExists(AKey)) return ADefault;
    return node->ReadString(AKey);
  } catch (const std::exception&) {
    return ADefault;
  }
}

void TMAVRegFile::SetStrValue(const std::string& ASection, const std::string& AKey,
                              const std::string& AValue) const {
  try {
    const auto node = OpenNode();
    if (node->OpenKey(ASection, true)) node->WriteString(AKey, AValue);
  } catch (const std::exception&) {
    // Settings are a convenience; losing one must not stop the program.
  }
}

void TMAVRegFile::SetRegStrValue(const std::string& AKey, const std::string& AValue) const {
  try {
    TRegistry reg(platform::raWrite);
    reg.SetRootKey(platform::HKEY_CURRENT_USER);
    if (reg.OpenKey("\\Software\\Velmora Free", true)) reg.WriteString(AKey, AValue);
  } catch (const std::exception&) {
    // As SetStrValue: never raises.
  }
}

TMAVRegFile& SettingsStore() {
  static TMAVRegFile store("");
  return store;
}
