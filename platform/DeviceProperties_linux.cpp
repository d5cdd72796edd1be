#include "platform/DeviceProperties_linux.h"

#include <libudev.h>

#include <memory>

namespace platform {

std::map<std::string, std::string> UdevBlockDeviceProperties(const std::string& kernelName) {
  std::map<std::string, std::string> properties;
  const std::unique_ptr<udev, decltype(&udev_unref)> context(udev_new(), &udev_unref);
  if (!context) return properties;
  const std::unique_ptr<udev_device, decltype(&udev_device_unref)> device(
      udev_device_new_from_subsystem_sysname(context.get(), "block", kernelName.c_str()),
      &udev_device_unref);
  if (!device) return properties;
  for (auto* entry = udev_device_get_properties_list_entry(device.get()); entry;
       entry = udev_list_entry_get_next(entry)) {
    const char* value = udev_list_entry_get_value(entry);
    properties[udev_list_entry_get_name(entry)] = value ? value : "";
  }
  return properties;
}

}  // namespace platform
