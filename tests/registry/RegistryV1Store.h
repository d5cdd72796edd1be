#pragma once
// A store as the first schema version left it: names folded to lower case
// for ASCII only in the rows below, so "Ž" and "ž" are two keys and "Ÿa" and
// "ÿa" two values of them.

#include <filesystem>

#include "platform/RegistryStore.h"

namespace regtest {

void WriteV1Store(const std::filesystem::path& aFile);
// aReader is open on HKCU\Software\Ž: what the store holds once converted.
void ExpectV1StoreMerged(platform::TRegistry& aReader);

}  // namespace regtest
