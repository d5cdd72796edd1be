#include "RegistryFixture.h"

#include "support/TextCodec.h"
#include "support/uFunctions.h"

namespace regtest {

RegistryFixture::RegistryFixture() : FOldProductDataFolder(ProductDataFolder) {
  ProductDataFolder = (FHome.home() / "data").string();
}

RegistryFixture::~RegistryFixture() { ProductDataFolder = FOldProductDataFolder; }

std::vector<std::string> RegistryFixture::ErrLogLines() const {
  const std::string raw = testsupport::ReadFileBytes(ErrorLogPath());
  const std::string text = support::Utf16LEToUtf8(raw);
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "the log ends in the middle of a line";
  return lines;
}

std::string RegistryFixture::ErrLogPathForTest() const { return ErrorLogPath(); }

std::vector<std::string> RegistryFixture::ReportedTexts() const {
  static const std::string kTag = "Common_Forms:0001 ";
  std::vector<std::string> texts;
  for (const auto& line : ErrLogLines()) {
    const auto at = line.find(kTag);
    texts.push_back(at == std::string::npos ? "<no tag in: " + line + ">"
                                            : line.substr(at + kTag.size()));
  }
  return texts;
}

platform::TRegistry& RegistryFixture::Open(platform::TRegistry& aReg, const std::string& aKey,
                                           platform::HKEY aRoot) {
  aReg.SetRootKey(aRoot);
  EXPECT_TRUE(aReg.OpenKey(aKey, true));
  return aReg;
}

}  // namespace regtest
