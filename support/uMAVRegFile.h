#pragma once
// TMAVRegFile: string settings in sections below one registry node of
// HKEY_CURRENT_USER, the way an INI file keeps keys in sections: a section is
// a subkey of the node, a key of a section is a string value in it. Nothing
// here raises or reports; a failure leaves the default.
//
// SettingsStore() is the main program's single instance. It starts with an
// empty node, which reads as "no settings" and writes nothing; the main
// window sets the node to "Software\Velmora Free" before the first use.

#include <memory>
#include <string>

#include "platform/RegistryStore.h"

class TMAVRegFile {
 public:
  explicit TMAVRegFile(std::string ARoot) : FRoot(std::move(ARoot)) {}

  const std::string& Root() const { return FRoot; }
  void SetRoot(std::string ARoot) { FRoot = std::move(ARoot); }

  // The string AKey of section ASection; ADefault when either is absent or
  // anything fails. Opening the node creates it when missing.
  std::string GetStrValue(const std::string& ASection, const std::string& AKey,
                          const std::string& ADefault) const;
  // Writes AValue as the string AKey of section ASection, creating both.
  void SetStrValue(const std::string& ASection, const std::string& AKey,
                   const std::string& AValue) const;
  // Writes the string AKey straight into "Software\Velmora Free", whatever FRoot is.
  void SetRegStrValue(const std::string& AKey, const std::string& AValue) const;

 private:
  // An accessor open on the node FRoot (created when missing); throws
  // "Registry node is not defined." while FRoot is empty.
  std::unique_ptr<platform::TRegistry> OpenNode() const;

  std::string FRoot;  // the node's key path below HKEY_CURRENT_USER
};

// The process-wide settings store, made on first use and kept for the
// program's life.
TMAVRegFile& SettingsStore();
