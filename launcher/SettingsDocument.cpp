#include "launcher/SettingsDocument.h"

#include <QString>
#include <QXmlStreamReader>

#include <charconv>
#include <optional>
#include <string_view>
#include <vector>

namespace launcher {

namespace {

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string RequiredAttribute(const QXmlStreamReader& xml, const char* name) {
  const QXmlStreamAttributes attributes = xml.attributes();
  if (!attributes.hasAttribute(QLatin1String(name))) {
    throw ESettingsFormatError("Element \"" + xml.name().toString().toStdString() + "\" at line " +
                               std::to_string(xml.lineNumber()) + " has no attribute \"" + name +
                               "\"");
  }
  return attributes.value(QLatin1String(name)).toString().toStdString();
}

// The whole number of one dot-separated part; 0 when it is missing, empty or
// not a number; nothing when it is a number too large to hold, which makes
// the whole version invalid (it would otherwise count as a small one).
std::optional<std::uint64_t> PartValue(const std::vector<std::string_view>& parts, std::size_t i) {
  if (i >= parts.size()) return 0;
  std::uint64_t value = 0;
  const std::string_view part = parts[i];
  const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
  if (error == std::errc::result_out_of_range) return std::nullopt;
  if (error != std::errc() || end != part.data() + part.size()) return 0;
  return value;
}

// Blanks and control characters at either end are no part of a version.
std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> SplitAtDots(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = text.find('.', start);
    parts.push_back(text.substr(start, dot == std::string_view::npos ? dot : dot - start));
    if (dot == std::string_view::npos) return parts;
    start = dot + 1;
  }
}

}  // namespace

bool ParseSettings(const std::string& text, TProductEntry& entry, const std::string& productName) {
  // A QString source makes the reader ignore the encoding the declaration
  // names. QXmlStreamReader never fetches external entities and caps the
  // expansion of internal ones, so a hostile document cannot grow without end.
  QXmlStreamReader xml(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  bool found = false;
  TProductEntry match;
  int depth = 0;  // 1 inside the root, 2 inside a product entry
  while (!xml.atEnd()) {
    const QXmlStreamReader::TokenType token = xml.readNext();
    if (token == QXmlStreamReader::StartElement) {
      ++depth;
      if (depth == 2 && !found) {
        const std::string name = RequiredAttribute(xml, "Name");
        if (EqualsIgnoringAsciiCase(name, productName)) {
          match.Version = RequiredAttribute(xml, "Version");
          match.SetupURL = RequiredAttribute(xml, "SetupURL");
          found = true;
        }
      }
    } else if (token == QXmlStreamReader::EndElement) {
      --depth;
    }
  }
  // The whole document must be well-formed, also after the matching entry.
  if (xml.hasError()) {
    throw ESettingsFormatError(xml.errorString().toStdString() + " at line " +
                               std::to_string(xml.lineNumber()) + ", column " +
                               std::to_string(xml.columnNumber()));
  }
  if (found) entry = match;
  return found;
}

std::int8_t CompareVersions(const std::string& installed, const std::string& published) {
  const std::string_view installedText = Trimmed(installed);
  const std::string_view publishedText = Trimmed(published);
  if (installedText.empty()) return 1;
  if (publishedText.empty()) return -1;
  const std::vector<std::string_view> a = SplitAtDots(installedText);
  const std::vector<std::string_view> b = SplitAtDots(publishedText);
  std::uint64_t x[4], y[4];
  for (std::size_t i = 0; i < 4; ++i) {
    const std::optional<std::uint64_t> installedPart = PartValue(a, i);
    const std::optional<std::uint64_t> publishedPart = PartValue(b, i);
    // An invalid version on either side is never reason for an offer.
    if (!installedPart || !publishedPart) return -1;
    x[i] = *installedPart;
    y[i] = *publishedPart;
  }
  for (std::size_t i = 0; i < 4; ++i) {
    if (x[i] != y[i]) return y[i] > x[i] ? 1 : -1;
  }
  return 0;
}

}  // namespace launcher
