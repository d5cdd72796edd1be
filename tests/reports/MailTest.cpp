// The mail hand-off through xdg-email, with a recording mail client
// registered through xdg-mime in an isolated home.

#include <gtest/gtest.h>

#include <functional>

#include "FakeMailClient.h"
#include "PacketFixture.h"
#include "reports/uSendSource.h"

namespace {

using reportstest::kItemName;
using reportstest::ProgressFixture;
using testsupport::FakeMailClient;

const std::string kSupport = "support@velmora-free.example";
const std::string kBody =
    "Program: [Velmora Free]\r\nVersion: [2.0.0.0]\r\nProblem description: <describe it>";

class MailFixture : public ProgressFixture {
 protected:
  MailFixture() {
    Write("Err.log", "a line\r\n");
    packet_ = SourceSender::CreatePacket();
    packet_->AddItem(kItemName).AddFiles(data_.string(), "Err.log");
    listener_->calls.clear();
  }
  testsupport::MailEnvironment mail_;
  std::unique_ptr<TSendSourcePacket> packet_;
};

TEST_F(MailFixture, ClientReceivesAddressSubjectBodyAndArchive) {
  FakeMailClient client(home_.home());
  EXPECT_TRUE(SourceSender::SendPacket(*packet_, kSupport, kItemName, kBody));
  ASSERT_TRUE(client.Received());
  const testsupport::ReceivedMail mail = client.Mail();
  EXPECT_EQ(mail.to, kSupport);
  EXPECT_EQ(mail.subject, kItemName);
  EXPECT_EQ(mail.bodyLines,
            (std::vector<std::string>{"Program: [Velmora Free]", "Version: [2.0.0.0]",
                                      "Problem description: <describe it>"}));
  EXPECT_EQ(mail.attachments, std::vector<std::string>{packet_->GetItem(0).GetFileName()});
  EXPECT_EQ(listener_->calls,
            (std::vector<std::string>{
                "Start Preparing for sending source files... 0", "connecting to mail server...",
                "sending...", "disconnecting from mail server...", "Sending completed.", "Close"}));
}

TEST_F(MailFixture, EmptyPacketIsNotSent) {
  FakeMailClient client(home_.home());
  packet_->Clear();
  EXPECT_FALSE(SourceSender::SendPacket(*packet_, kSupport, kItemName, kBody));
  EXPECT_FALSE(client.Received());
  EXPECT_TRUE(listener_->calls.empty());
}

struct FailureCase {
  const char* name;
  bool clientRegistered;
  std::string address;
  std::function<void(TSendSourcePacket&)> spoil;  // may be empty
  std::string error;                              // "*" stands for the archive's path
};

void PrintTo(const FailureCase& row, std::ostream* out) { *out << row.name; }

class MailFailureTest : public MailFixture, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(MailFailureTest, ErrorReachesCallerAndShowError) {
  const FailureCase& c = GetParam();
  std::optional<FakeMailClient> client;
  if (c.clientRegistered) client.emplace(home_.home());
  if (c.spoil) c.spoil(*packet_);
  std::string expected = c.error;
  if (const auto star = expected.find('*'); star != std::string::npos) {
    expected.replace(star, 1, packet_->GetItem(0).GetFileName());
  }
  try {
    SourceSender::SendPacket(*packet_, c.address, kItemName, kBody);
    ADD_FAILURE() << "no error";
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()), expected);
  }
  ASSERT_GE(listener_->calls.size(), 2u);
  EXPECT_EQ(listener_->calls[listener_->calls.size() - 2], "Close");
  EXPECT_EQ(listener_->calls.back(), "Error " + expected);
  EXPECT_EQ(listener_->Level(), 0);
  if (client) {
    EXPECT_FALSE(client->Received());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, MailFailureTest,
    ::testing::Values(
        FailureCase{.name = "NoMailClient",
                    .clientRegistered = false,
                    .address = kSupport,
                    .spoil = {},
                    .error = "There is no MAPI-enabled client on the machine"},
        FailureCase{.name = "EmptyAddress",
                    .clientRegistered = true,
                    .address = "",
                    .spoil = {},
                    .error = "Recipient  has invalid address"},
        FailureCase{.name = "AddressThatIsALinkOfItsOwn",
                    .clientRegistered = true,
                    .address = "mailto:x@y.example?attach=/etc/passwd",
                    .spoil = {},
                    .error = "Recipient mailto:x@y.example?attach=/etc/passwd has invalid address"},
        FailureCase{.name = "AddressThatLooksLikeAnOption",
                    .clientRegistered = true,
                    .address = "--attach",
                    .spoil = {},
                    .error = "Recipient --attach has invalid address"},
        FailureCase{
            .name = "MissingAttachment",
            .clientRegistered = true,
            .address = kSupport,
            .spoil =
                [](TSendSourcePacket& p) { std::filesystem::remove(p.GetItem(0).GetFileName()); },
            .error = "Attached file \"*\" not found"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
