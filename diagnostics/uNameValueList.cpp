#include "diagnostics/uNameValueList.h"

#include <algorithm>
#include <stdexcept>

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

std::string_view NameOf(std::string_view line) { return line.substr(0, line.find('=')); }

}  // namespace

const std::string& TNameValueList::Strings(int Index) const {
  if (Index < 0 || Index >= Count()) throw std::out_of_range("TNameValueList index out of range");
  return FLines[static_cast<std::size_t>(Index)];
}

int TNameValueList::IndexOfName(std::string_view aName) const {
  for (int i = 0; i < Count(); ++i) {
    const std::string& line = FLines[static_cast<std::size_t>(i)];
    if (line.find('=') != std::string::npos && SameName(NameOf(line), aName)) return i;
  }
  return -1;
}

std::string TNameValueList::Values(std::string_view aName) const {
  const int i = IndexOfName(aName);
  if (i < 0) return {};
  const std::string& line = FLines[static_cast<std::size_t>(i)];
  return line.substr(line.find('=') + 1);
}

void TNameValueList::SetValues(std::string_view aName, std::string_view aValue) {
  std::string line;
  line.reserve(aName.size() + 1 + aValue.size());
  line.append(aName).append(1, '=').append(aValue);
  const int i = IndexOfName(aName);
  if (i >= 0)
    FLines[static_cast<std::size_t>(i)] = std::move(line);
  else
    FLines.push_back(std::move(line));
}
