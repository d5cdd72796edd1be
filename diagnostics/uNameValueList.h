#pragma once
// An ordered list of "name=value" lines, the parameter list of a call-stack
// frame. Setting a value replaces the line of that name or appends a new one,
// so lines keep the order in which their names were first set.

#include <string>
#include <string_view>
#include <vector>

class TNameValueList {
 public:
  int Count() const { return static_cast<int>(FLines.size()); }
  // The line at Index ("Drive=E"); throws std::out_of_range.
  const std::string& Strings(int Index) const;
  // Index of the line named aName (ASCII case ignored, as names are
  // identifiers), or -1.
  int IndexOfName(std::string_view aName) const;
  // The value of aName, "" when there is no such line.
  std::string Values(std::string_view aName) const;
  // The line of aName gets aValue, or "aName=aValue" is appended.
  void SetValues(std::string_view aName, std::string_view aValue);
  void Clear() { FLines.clear(); }

 private:
  std::vector<std::string> FLines;
};
