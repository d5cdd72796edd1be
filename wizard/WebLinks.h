#pragma once
// The product web site's pages that the window opens, and the help topics of
// the context numbers. The site's scheme and host are a build-time setting.

#include <string>

// "How it works?" of a wizard page (0 to 3); the first page's for any other index.
std::string HowItWorksUrl(int pageIndex);
std::string ProductPageUrl();  // Help, Velmora Free on the Web
std::string ClosingPageUrl();  // opened each time the window closes

// The help contexts: the pages are 201 to 204, the About box 900.
inline constexpr int HelpContextFirstPage = 201;
inline constexpr int HelpContextAbout = 900;
inline int HelpContextOfPage(int pageIndex) { return HelpContextFirstPage + pageIndex; }

// The resource path of the topic of a context number; the contents page for 0
// or any number without a topic of its own.
std::string HelpTopicPath(int context);
inline constexpr const char* HelpContentsPath = "qrc:/help/index.html";
