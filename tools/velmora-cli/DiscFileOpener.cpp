#include "DiscFileOpener.h"

#include "platform/DeviceExtentFile.h"

namespace cli {

DiscFileOpener::DiscFileOpener(std::filesystem::path deviceOrImage, std::string pathOnDisc)
    : deviceOrImage_(std::move(deviceOrImage)),
      pathOnDisc_(pathOnDisc.starts_with('/') ? std::move(pathOnDisc) : "/" + pathOnDisc),
      sourceName_(deviceOrImage_.string() + ":" + pathOnDisc_) {}

std::unique_ptr<platform::IUnbufferedFile> DiscFileOpener::Open(const std::filesystem::path& path,
                                                                std::string& error) {
  std::unique_ptr<platform::IUnbufferedFile> file;
  if (path != sourceName_)
    error = "only " + sourceName_.string() + " can be opened, not " + path.string();
  else
    file = platform::OpenOnDevice(deviceOrImage_, pathOnDisc_, error);
  if (!file) whyNot_ = error;
  return file;
}

}  // namespace cli
