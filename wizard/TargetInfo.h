#pragma once
// The target page's rules without a window: which drive a target folder
// lies on, and the warning under the two disk panels.

#include <string>
#include <vector>

#include "engine/Drives.h"
#include "platform/MountTable.h"

// The drive part of a target folder text: the mount point of the nearest
// existing folder on the path (links resolved). Empty for a relative or
// empty text, which names no drive.
std::string TargetDrivePart(const std::string& folderText,
                            const std::vector<platform::MountEntry>& mountTable);

// The warning for a target, at most one reason, in this order: an unknown
// target drive, the source drive itself, too little free space. Lines end in
// "\n"; empty when there is nothing to warn of.
std::string TargetWarning(TDriveType targetType, const std::string& targetDrive,
                          const std::string& sourceDrive, bool freeIsEnough);
