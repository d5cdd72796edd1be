#include "DiscFileOpener.h"

#include "platform/DeviceExtentFile.h"

namespace cli {

DiscFileOpener::DiscFileOpener(std::filesystem::path deviceOrImage, std::string pathOnDisc)
    : FDeviceOrImage(std::move(deviceOrImage)),
      FPathOnDisc(pathOnDisc.starts_with('/') ? std::move(pathOnDisc) : "/" + pathOnDisc),
      FSourceName(FDeviceOrImage.string() + ":" + FPathOnDisc) {}

std::unique_ptr<platform::IUnbufferedFile> DiscFileOpener::Open(const std::filesystem::path& path,
                                                                std::string& error) {
  std::unique_ptr<platform::IUnbufferedFile> file;
  if (path != FSourceName)
    error = "only " + FSourceName.string() + " can be opened, not " + path.string();
  else
    file = platform::OpenOnDevice(FDeviceOrImage, FPathOnDisc, error);
  if (!file) FWhyNot = error;
  return file;
}

}  // namespace cli
