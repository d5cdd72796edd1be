// TMAVRegFile: sections below one node of HKEY_CURRENT_USER, never an error.

#include "support/uMAVRegFile.h"

#include <filesystem>

#include "RegistryFixture.h"

namespace {

using platform::TRegistry;
using regtest::kProductKey;

class MAVRegFile : public regtest::RegistryFixture {};

TEST_F(MAVRegFile, EmptyNodeReadsDefaultsAndWritesNothing) {
  TMAVRegFile store("");
  EXPECT_EQ(store.GetStrValue("General", "SavePath", "/home/u/_CDRestored"), "/home/u/_CDRestored");
  store.SetStrValue("General", "SavePath", "/x");
  EXPECT_FALSE(std::filesystem::exists(platform::RegistryStorePath()));
  EXPECT_FALSE(std::filesystem::exists(ErrLogPathForTest()));
}

TEST_F(MAVRegFile, SetStrValueCreatesTheSectionOnFirstUse) {
  TMAVRegFile store("Software\\Velmora Free");
  store.SetStrValue("General", "SavePath", "/media/backup/_CDRestored");
  TRegistry reg(platform::raRead);
  ASSERT_TRUE(reg.OpenKey(kProductKey + "\\General", false));
  EXPECT_EQ(reg.GetDataType("SavePath"), platform::rdString);
  EXPECT_EQ(reg.ReadString("SavePath"), "/media/backup/_CDRestored");
  EXPECT_EQ(store.GetStrValue("general", "savepath", "-"), "/media/backup/_CDRestored");
  // A second store on the same node with a leading "\" sees the same value.
  EXPECT_EQ(TMAVRegFile(kProductKey).GetStrValue("GENERAL", "SavePath", "-"),
            "/media/backup/_CDRestored");
}

TEST_F(MAVRegFile, ReadingCreatesTheNodeButNotTheSection) {
  TMAVRegFile store("Software\\Velmora Free");
  EXPECT_EQ(store.GetStrValue("General", "SavePath", "/d"), "/d");
  EXPECT_EQ(store.GetStrValue("General", "SavePath", ""), "");
  TRegistry reg(platform::raRead);
  EXPECT_TRUE(reg.KeyExists(kProductKey));
  EXPECT_FALSE(reg.KeyExists(kProductKey + "\\General"));
}

TEST_F(MAVRegFile, AbsentOrOtherKindReadsAsDefault) {
  TRegistry reg;
  Open(reg, kProductKey + "\\General");
  reg.WriteInteger("SavePath", 5);
  reg.WriteString("Other", "x");
  TMAVRegFile store("Software\\Velmora Free");
  EXPECT_EQ(store.GetStrValue("General", "SavePath", "/d"), "/d");
  EXPECT_EQ(store.GetStrValue("General", "Missing", "/d"), "/d");
  EXPECT_EQ(store.GetStrValue("General", "Other", "/d"), "x");
}

TEST_F(MAVRegFile, FailuresAreSwallowedAndNotReported) {
  std::filesystem::create_directories(platform::RegistryStorePath());
  TMAVRegFile store("Software\\Velmora Free");
  EXPECT_EQ(store.GetStrValue("General", "SavePath", "/d"), "/d");
  store.SetStrValue("General", "SavePath", "/x");
  store.SetRegStrValue("InstallPath", "/x");
  EXPECT_FALSE(std::filesystem::exists(ErrLogPathForTest()));
}

TEST_F(MAVRegFile, SetRegStrValueWritesTheProductKeyWhateverTheNode) {
  TMAVRegFile store("Software\\Elsewhere");
  store.SetRegStrValue("InstallPath", "/opt/velmora-free");
  TRegistry reg(platform::raRead);
  ASSERT_TRUE(reg.OpenKey(kProductKey, false));
  EXPECT_EQ(reg.ReadString("InstallPath"), "/opt/velmora-free");
  EXPECT_FALSE(reg.KeyExists("\\Software\\Elsewhere"));
}

TEST_F(MAVRegFile, SettingsStoreIsOneInstanceStartingWithoutANode) {
  TMAVRegFile& store = SettingsStore();
  EXPECT_EQ(&store, &SettingsStore());
  const std::string old = store.Root();
  EXPECT_EQ(old, "");
  store.SetRoot("Software\\Velmora Free");
  store.SetStrValue("General", "SavePath", "/p");
  EXPECT_EQ(SettingsStore().GetStrValue("General", "SavePath", ""), "/p");
  store.SetRoot(old);
}

}  // namespace
