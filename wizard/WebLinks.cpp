#include "wizard/WebLinks.h"

#include <array>

#include "support/ProductSite.h"

std::string HowItWorksUrl(int pageIndex) {
  static constexpr std::array<const char*, 4> steps = {"#step6", "#step8", "#step10", "#step12"};
  const auto i = pageIndex >= 0 && pageIndex < 4 ? static_cast<std::size_t>(pageIndex) : 0;
  return std::string(support::ProductSite) + "/how_it_works_cd.html" + steps[i];
}

std::string ProductPageUrl() { return std::string(support::ProductSite) + "/velmorafree.html"; }

std::string ClosingPageUrl() { return std::string(support::ProductSite) + "/like.html"; }

std::string HelpTopicPath(int context) {
  switch (context) {
    case 201:
    case 202:
    case 203:
    case 204:
    case HelpContextAbout:
      return "qrc:/help/" + std::to_string(context) + ".html";
    default:
      return HelpContentsPath;
  }
}
