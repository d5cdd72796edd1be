#pragma once
// The system's temporary folder, a folder of the current user's own in it for
// files that other users must neither read nor replace, and the file rules
// that the error-report archives made there need.

#include <string>

namespace platform {

// The temporary folder with its trailing delimiter ($TMPDIR when it names a
// folder, else /tmp/ here).
std::string TemporaryFolder();

// aName, followed by the user's id, in the temporary folder, with a trailing
// delimiter: created with access for its owner only, or checked to be a real
// folder (not a link) of this user and closed to others. Throws
// std::runtime_error with the reason when the folder cannot be made safe.
std::string PrivateTemporaryFolder(const std::string& aName);

// Closes a file of the user's to everybody else; false when that failed.
bool RestrictToOwner(const std::string& aFile);

// Whether a file name matches a file mask ("*.log", "Err.log"), as the
// platform's file system compares names (case counts here).
bool MatchesFileMask(const std::string& aName, const std::string& aMask);

}  // namespace platform
