#pragma once
// The drive page's list without a window: which drives it shows, and whether
// the chosen drive is still there.

#include <string>
#include <vector>

#include "engine/Drives.h"
#include "platform/MountTable.h"

struct TDriveEntry {
  std::string Designator;  // the key of the entry: the list keeps no address into Drives
  std::string Caption;     // VolumeCaption of the record
};

// The optical drives that hold a readable disc, in the table's order.
std::vector<TDriveEntry> ListedDrives(const std::vector<TVolumeInformationRecord>& drives);

// Whether a volume is mounted at the designator now. A folder of that name
// alone is no disc: an unmounted disc may leave its empty mount point behind.
bool IsDriveMounted(const std::string& designator,
                    const std::vector<platform::MountEntry>& mountTable);

// Throws NoDriveException "Drive <designator> is not available." unless a
// volume is mounted at the designator now.
void CheckDriveAvailable(
    const std::string& designator,
    const std::vector<platform::MountEntry>& mountTable = platform::ReadMountTable());
