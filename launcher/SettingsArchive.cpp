#include "launcher/SettingsArchive.h"

#include <zip.h>

#include <memory>

namespace launcher {

namespace {

struct ZipCloser {
  void operator()(zip_t* z) const { zip_discard(z); }
};
struct ZipFileCloser {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};

}  // namespace

std::optional<std::string> ExtractSettingsDocument(std::string_view archive, const char* entryName,
                                                   const char* password, std::string* failure) {
  auto nothing = [&](std::string why) -> std::optional<std::string> {
    if (failure) *failure = std::move(why);
    return std::nullopt;
  };
  const std::string cap = std::to_string(kMaxSettingsBytes) + " bytes";
  if (archive.empty()) return nothing("The archive is empty");
  if (archive.size() > kMaxSettingsBytes) return nothing("The archive is larger than " + cap);

  zip_error_t error;
  zip_error_init(&error);
  // The source reads the caller's bytes in place (freep = 0) and is owned by
  // the archive once zip_open_from_source succeeds.
  zip_source_t* source = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
  if (!source) {
    const std::string why = zip_error_strerror(&error);
    zip_error_fini(&error);
    return nothing("Not a ZIP archive: " + why);
  }
  std::unique_ptr<zip_t, ZipCloser> zip(zip_open_from_source(source, ZIP_RDONLY, &error));
  if (!zip) {
    const std::string why = zip_error_strerror(&error);
    zip_error_fini(&error);
    zip_source_free(source);
    return nothing("Not a ZIP archive: " + why);
  }
  zip_error_fini(&error);

  const std::string entry = std::string("The entry \"") + entryName + "\"";
  const zip_int64_t index = zip_name_locate(zip.get(), entryName, 0);
  if (index < 0) return nothing(entry + " is missing");
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(zip.get(), static_cast<zip_uint64_t>(index), 0, &stat) != 0)
    return nothing(entry + " can't be read: " + zip_strerror(zip.get()));
  // The recorded size only decides whether to start; the cap is enforced on
  // what is actually read, since a hostile header may lie.
  if ((stat.valid & ZIP_STAT_SIZE) && stat.size > kMaxSettingsBytes)
    return nothing(entry + " is larger than " + cap);

  std::unique_ptr<zip_file_t, ZipFileCloser> file(
      zip_fopen_index_encrypted(zip.get(), static_cast<zip_uint64_t>(index), 0, password));
  if (!file) return nothing(entry + " can't be opened: " + zip_strerror(zip.get()));

  std::string text;
  char buffer[16384];
  for (;;) {
    const zip_int64_t n = zip_fread(file.get(), buffer, sizeof buffer);
    // A data error, a wrong password or a checksum mismatch.
    if (n < 0) return nothing(entry + " can't be read: " + zip_file_strerror(file.get()));
    if (n == 0) break;
    if (text.size() + static_cast<std::size_t>(n) > kMaxSettingsBytes)
      return nothing(entry + " inflates to more than " + cap);
    text.append(buffer, static_cast<std::size_t>(n));
  }
  // A short entry (fewer bytes than its header promised) is damaged as well.
  if ((stat.valid & ZIP_STAT_SIZE) && text.size() != stat.size)
    return nothing(entry + " is shorter than its header says");
  return text;
}

}  // namespace launcher
