#include "FaultList.h"

#include <cerrno>
#include <charconv>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "platform/Files.h"

namespace faultfs {

namespace {

constexpr std::uint64_t SectorBytes = 2048;

[[noreturn]] void Fail(int lineNumber, const std::string& message) {
  throw std::runtime_error("fault list line " + std::to_string(lineNumber) + ": " + message);
}

// Splits a line into blank-separated tokens; "..." groups a token with
// blanks, \" and \\ escape inside quotes; an unquoted # starts a comment.
std::vector<std::string> Tokens(std::string_view line, int lineNumber) {
  std::vector<std::string> tokens;
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      std::string token;
      for (++i;; ++i) {
        if (i >= line.size()) Fail(lineNumber, "unterminated quote");
        if (line[i] == '"') break;
        if (line[i] == '\\' && i + 1 < line.size()) ++i;
        token += line[i];
      }
      ++i;
      tokens.push_back(std::move(token));
    } else {
      const std::size_t end = line.find_first_of(" \t\r", i);
      tokens.emplace_back(line.substr(i, end == std::string_view::npos ? end : end - i));
      i = end == std::string_view::npos ? line.size() : end;
    }
  }
  return tokens;
}

// A decimal or 0x-hexadecimal byte offset; an "s" suffix counts 2048-byte sectors.
std::uint64_t Number(const std::string& token, int lineNumber) {
  std::string_view digits = token;
  std::uint64_t unit = 1;
  if (!digits.empty() && digits.back() == 's') {
    unit = SectorBytes;
    digits.remove_suffix(1);
  }
  int base = 10;
  if (digits.starts_with("0x") || digits.starts_with("0X")) {
    base = 16;
    digits.remove_prefix(2);
  }
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size())
    Fail(lineNumber, "\"" + token + "\" is not a number");
  if (value > std::numeric_limits<std::uint64_t>::max() / unit)
    Fail(lineNumber, "\"" + token + "\" is too large");
  return value * unit;
}

std::string MountPath(const std::string& token, int lineNumber) {
  if (token.empty() || token[0] != '/')
    Fail(lineNumber, "path \"" + token + "\" must start with /");
  std::string path = token;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  for (const auto& part : std::filesystem::path(path))
    if (part == "." || part == "..") Fail(lineNumber, "path \"" + token + "\" has . or ..");
  return path;
}

std::filesystem::file_status SourceStatus(const std::filesystem::path& source,
                                          const std::string& path) {
  std::error_code ec;
  return std::filesystem::symlink_status(source / std::filesystem::path(path).relative_path(), ec);
}

bool IsBelow(std::string_view path, std::string_view folder) {
  return path != folder && platform::IsAtOrBelow(path, folder);
}

}  // namespace

bool BadRange::Attempt() {
  ++attempts;
  const bool fails = attempts <= failTimes;
  if (fails) ++failures;
  return fails;
}

int FaultList::ErrorFor(std::string_view path) const {
  for (const auto& u : unreadable)
    if (u.path == path) return u.error;
  return LookupErrorFor(path);
}

int FaultList::LookupErrorFor(std::string_view path) const {
  for (const auto& u : unreadable)
    if (IsBelow(path, u.path)) return u.error;
  return 0;
}

std::vector<BadRange*> FaultList::RangesOf(std::string_view path) {
  std::vector<BadRange*> ranges;
  for (auto& range : bad)
    if (range.path == path) ranges.push_back(&range);
  return ranges;
}

FaultList ParseFaultList(std::string_view text, const std::filesystem::path& source) {
  FaultList faults;
  std::istringstream in{std::string(text)};
  std::string line;
  for (int lineNumber = 1; std::getline(in, line); ++lineNumber) {
    const auto tokens = Tokens(line, lineNumber);
    if (tokens.empty()) continue;
    if (tokens[0] == "bad") {
      if (tokens.size() < 4 || tokens.size() > 5)
        Fail(lineNumber, "want: bad PATH START END [TIMES]");
      BadRange range;
      range.path = MountPath(tokens[1], lineNumber);
      range.start = Number(tokens[2], lineNumber);
      range.end = Number(tokens[3], lineNumber);
      if (tokens.size() == 5) range.failTimes = Number(tokens[4], lineNumber);
      if (range.start >= range.end) Fail(lineNumber, "START must be below END");
      if (!std::filesystem::is_regular_file(SourceStatus(source, range.path)))
        Fail(lineNumber, "no regular file " + range.path + " in " + source.string());
      faults.bad.push_back(std::move(range));
    } else if (tokens[0] == "unreadable") {
      if (tokens.size() < 2 || tokens.size() > 3)
        Fail(lineNumber, "want: unreadable PATH [EIO|EACCES]");
      Unreadable entry{MountPath(tokens[1], lineNumber), EIO};
      if (tokens.size() == 3) {
        if (tokens[2] == "EACCES")
          entry.error = EACCES;
        else if (tokens[2] != "EIO")
          Fail(lineNumber, "error must be EIO or EACCES");
      }
      if (!std::filesystem::exists(SourceStatus(source, entry.path)))
        Fail(lineNumber, "no entry " + entry.path + " in " + source.string());
      faults.unreadable.push_back(std::move(entry));
    } else {
      Fail(lineNumber, "unknown fault \"" + tokens[0] + "\" (want bad or unreadable)");
    }
  }
  return faults;
}

std::string QuotePath(std::string_view path) {
  if (path.find_first_of(" \t\r\"\\#") == std::string_view::npos && !path.empty())
    return std::string(path);
  std::string quoted = "\"";
  for (const char c : path) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + '"';
}

std::string FormatStats(const FaultList& faults, std::uint64_t readRequests) {
  std::string text =
      "# velmora-faultfs read attempts\n"
      "# range PATH START END ATTEMPTS FAILED  (a read request touching the range counts once)\n"
      "# reads N  (all read requests served so far)\n";
  for (const auto& r : faults.bad) {
    text += "range " + QuotePath(r.path) + ' ' + std::to_string(r.start) + ' ' +
            std::to_string(r.end) + ' ' + std::to_string(r.attempts) + ' ' +
            std::to_string(r.failures) + '\n';
  }
  text += "reads " + std::to_string(readRequests) + '\n';
  return text;
}

}  // namespace faultfs
