#include "platform/VolumeProbe_linux.h"

#include <blkid/blkid.h>

namespace platform {

namespace {

std::string Value(blkid_probe probe, const char* name) {
  const char* data = nullptr;
  std::size_t length = 0;
  if (blkid_probe_lookup_value(probe, name, &data, &length) != 0 || !data) return {};
  std::string value(data, length);
  while (!value.empty() && value.back() == '\0') value.pop_back();  // lengths count the NUL
  return value;
}

}  // namespace

VolumeIds ProbeVolumeIds(const std::filesystem::path& node) {
  VolumeIds ids;
  blkid_probe probe = blkid_new_probe_from_filename(node.c_str());
  if (!probe) return ids;
  blkid_probe_enable_superblocks(probe, 1);
  blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID);
  // A device that holds two file system signatures is ambiguous: no answer.
  if (blkid_do_safeprobe(probe) == 0) {
    ids.label = Value(probe, "LABEL");
    ids.uuid = Value(probe, "UUID");
  }
  blkid_free_probe(probe);
  return ids;
}

}  // namespace platform
