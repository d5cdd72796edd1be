#pragma once
// The source of "velmora-cli copy --device": one file of an unmounted disc or
// of a disc image, read at its extents on the device or image, so that the
// copier reads it sector by sector as it reads a mounted disc's files.

#include <filesystem>
#include <memory>
#include <string>

#include "platform/UnbufferedFile.h"

namespace cli {

// Opens the one file it was made for, under the name SourceName(); every
// other name is refused. Used in place of the system's opener for one copy.
class DiscFileOpener final : public platform::IUnbufferedOpener {
 public:
  // pathOnDisc as the driver would show it by default ("/Docs/Report.pdf").
  DiscFileOpener(std::filesystem::path deviceOrImage, std::string pathOnDisc);

  // "DEVICE:PATH-ON-DISC": the name the copier is given and its events show.
  const std::filesystem::path& SourceName() const { return FSourceName; }
  // Why the file could not be opened; empty until an open has failed.
  const std::string& WhyNot() const { return FWhyNot; }

  std::unique_ptr<platform::IUnbufferedFile> Open(const std::filesystem::path& path,
                                                  std::string& error) override;

 private:
  std::filesystem::path FDeviceOrImage;
  std::string FPathOnDisc;  // always starts with '/'
  std::filesystem::path FSourceName;
  std::string FWhyNot;
};

}  // namespace cli
