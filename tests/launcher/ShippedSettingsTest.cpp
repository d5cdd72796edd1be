// The settings archive built to ship beside the launcher reads like one from
// the site and publishes the version being built, so it never makes an offer.

#include <gtest/gtest.h>

#include "TempDir.h"
#include "launcher/SettingsArchive.h"
#include "launcher/SettingsDocument.h"

TEST(ShippedSettings, PublishesTheBuiltVersionOfTheProduct) {
  const std::string archive = testsupport::ReadFileBytes(SHIPPED_SETTINGS);
  const auto document = launcher::ExtractSettingsDocument(archive);
  ASSERT_TRUE(document);
  launcher::TProductEntry entry;
  ASSERT_TRUE(launcher::ParseSettings(*document, entry));
  EXPECT_EQ(entry.Version, MAIN_VERSION);
  EXPECT_EQ(launcher::CompareVersions(MAIN_VERSION, entry.Version), 0);
  EXPECT_EQ(entry.SetupURL.rfind("https://", 0), 0u) << entry.SetupURL;
}
