#pragma once
// Names a parameterised test after its parameter: a row's `name` field, a
// number as it is, the parts of a tuple joined by '_'. CTest then shows
// short names (Suite.Test/Row_Mode), never a dump of the parameter.

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <tuple>
#include <utility>

namespace testsupport {

template <typename T>
std::string ParamName(const T& aValue) {
  if constexpr (requires { aValue.name; })
    return std::string(aValue.name);
  else
    return std::to_string(aValue);
}

template <typename... Ts>
std::string ParamName(const std::tuple<Ts...>& aValue) {
  std::string name;
  const auto append = [&name](const auto& aPart) {
    if (!name.empty()) name += '_';
    name += ParamName(aPart);
  };
  std::apply([&append](const auto&... aParts) { (append(aParts), ...); }, aValue);
  return name;
}

// The name generator for INSTANTIATE_TEST_SUITE_P.
struct RowName {
  template <typename T>
  std::string operator()(const testing::TestParamInfo<T>& anInfo) const {
    return ParamName(anInfo.param);
  }
};

}  // namespace testsupport
