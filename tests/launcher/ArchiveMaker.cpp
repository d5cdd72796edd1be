#include "ArchiveMaker.h"

#include <zip.h>

#include <stdexcept>

#include "RunProcess.h"
#include "TempDir.h"

namespace launchertest {

std::string ZipWithPassword(const std::vector<TEntry>& entries, const std::string& password,
                            bool stored) {
  testsupport::TempDir dir;
  std::vector<std::string> argv = {"zip", "-q", "-j", "-P", password};
  if (stored) argv.push_back("-0");
  argv.push_back((dir / "out.zip").string());
  for (const TEntry& entry : entries) {
    testsupport::WriteFileBytes(dir / entry.name, entry.bytes);
    argv.push_back((dir / entry.name).string());
  }
  const auto result = testsupport::RunProcess(argv);
  if (result.exitCode != 0) throw std::runtime_error("zip failed: " + result.err);
  return testsupport::ReadFileBytes(dir / "out.zip");
}

std::string LibzipArchive(const std::vector<TEntry>& entries, const std::string& password) {
  testsupport::TempDir dir;
  const std::string path = (dir / "out.zip").string();
  int error = 0;
  zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!zip) throw std::runtime_error("zip_open failed");
  for (const TEntry& entry : entries) {
    zip_source_t* source = zip_source_buffer(zip, entry.bytes.data(), entry.bytes.size(), 0);
    const zip_int64_t index = zip_file_add(zip, entry.name.c_str(), source, ZIP_FL_OVERWRITE);
    if (index < 0) throw std::runtime_error("zip_file_add failed");
    const auto i = static_cast<zip_uint64_t>(index);
    zip_set_file_compression(zip, i, ZIP_CM_DEFLATE, 9);
    if (!password.empty() &&
        zip_file_set_encryption(zip, i, ZIP_EM_AES_256, password.c_str()) != 0) {
      throw std::runtime_error("zip_file_set_encryption failed");
    }
  }
  if (zip_close(zip) != 0) throw std::runtime_error("zip_close failed");
  return testsupport::ReadFileBytes(path);
}

std::string SettingsXml(const std::string& version, const std::string& setupUrl,
                        const std::string& name) {
  return "<?xml version=\"1.0\"?>\n<Products>\n  <Product Name=\"Other Tool\" Version=\"9.9\" "
         "SetupURL=\"https://other.example/setup\"/>\n  <Product Name=\"" +
         name + "\" Version=\"" + version + "\" SetupURL=\"" + setupUrl + "\"/>\n</Products>\n";
}

}  // namespace launchertest
