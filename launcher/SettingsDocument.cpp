#include "launcher/SettingsDocument.h"

#include <QString>
#include <QXmlStreamReader>

#include <charconv>
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

// Blanks and control characters count as nothing at either end.
bool IsBlankText(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) > ' ') return false;
  }
  return true;
}

// The whole number of one dot-separated part; 0 when it is empty or not a number.
std::uint64_t PartValue(const std::vector<std::string_view>& parts, std::size_t i) {
  if (i >= parts.size()) return 0;
  std::uint64_t value = 0;
  const std::string_view part = parts[i];
  const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
  if (error != std::errc() || end != part.data() + part.size()) return 0;
  return value;
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
  if (IsBlankText(installed)) return 1;
  if (IsBlankText(published)) return -1;
  const std::vector<std::string_view> a = SplitAtDots(installed);
  const std::vector<std::string_view> b = SplitAtDots(published);
  for (std::size_t i = 0; i < 4; ++i) {
    const std::uint64_t x = PartValue(a, i);
    const std::uint64_t y = PartValue(b, i);
    if (x != y) return y > x ? 1 : -1;
  }
  return 0;
}

}  // namespace launcher
