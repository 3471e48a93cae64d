// What goes back to partners, byte for byte: acknowledgements as the group's
// //CONFIRM asks (to a datagram sender and on a connection), and API replies in
// the network code.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "bare_anchor.h"
#include "hand_built_model.h"
#include "metafile_text.h"
#include "model_release.h"
#include "partner_binding.h"
#include "partner_replies.h"
#include "partner_sockets.h"
#include "zev0/codepage.h"
#include "zev0/storage.h"

namespace {

constexpr int kWaitMs = 2000;
constexpr int kSilenceMs = 200;

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes += static_cast<char>(value);
  return bytes;
}

class PartnerRepliesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    application_ = AddApplication(anchor_.get(), "APP");
    group_ = AddTable(application_, "GRP");
    partner_ = AddSource(anchor_.get(), group_, 'S')->IO;
    anchor_->startTime = 1700000123;
  }
  void TearDown() override { ZEVP_ReleaseApplResources(anchor_.get(), application_, 1); }

  void confirm(int32_t type, char character = 0, const char* text = nullptr) {
    group_->ConfirmType = type;
    group_->ConfirmCharacter = character;
    ZEV0_FreeStorage(&group_->ConfirmText);
    if (text != nullptr) group_->ConfirmText = zevp::NewStorageText(text);
  }

  BareAnchor anchor_;
  ApplicationEntry* application_ = nullptr;
  TableEntry* group_ = nullptr;
  IOEntry* partner_ = nullptr;
};

TEST_F(PartnerRepliesTest, ADatagramSenderIsAcknowledgedAsItsGroupConfirms) {
  DatagramEnd server;
  DatagramEnd sender;
  zevp::BindPartner(partner_, server.socket(), 0, sender.address());
  const struct {
    const char* title;
    int32_t type;
    char character;
    const char* text;
    bool ebcdicPartner;
    uint32_t count;
    std::string acknowledgement;
  } cases[] = {
      {"SIZE: the count of the whole receive", ZEVP_CONFIRM_SIZE, 0, nullptr, false, 300, Bytes({0, 0, 1, 0x2C})},
      {"SEQ counts from 1", ZEVP_CONFIRM_SEQUENCE, 0, nullptr, false, 9, Bytes({0, 0, 0, 1})},
      {"SEQ then 2", ZEVP_CONFIRM_SEQUENCE, 0, nullptr, false, 9, Bytes({0, 0, 0, 2})},
      {"X41", ZEVP_CONFIRM_CHARACTER, 0x41, nullptr, false, 9, "A"},
      {"X00: an empty datagram", ZEVP_CONFIRM_CHARACTER, 0, nullptr, false, 9, ""},
      {"'OK'", ZEVP_CONFIRM_MESSAGE, 0, "OK", false, 9, "OK"},
      {"'OK' to an EBCDIC partner", ZEVP_CONFIRM_MESSAGE, 0, "OK", true, 9, Bytes({0xD6, 0xD2})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    confirm(c.type, c.character, c.text);
    partner_->Source->CodeConversion = c.ebcdicPartner ? 1 : 0;
    ZEVP_SendReceivedDataAck(partner_, c.count);
    EXPECT_EQ(sender.next(kWaitMs), c.acknowledgement);
  }
  confirm(ZEVP_CONFIRM_SEQUENCE);
  zevp::BindPartner(partner_, server.socket(), 0, sender.address());
  ZEVP_SendReceivedDataAck(partner_, 1);
  EXPECT_EQ(sender.next(kWaitMs), Bytes({0, 0, 0, 1})) << "bound again, it starts again at 1";
  confirm(ZEVP_CONFIRM_NONE);
  ZEVP_SendReceivedDataAck(partner_, 1);
  EXPECT_EQ(sender.next(kSilenceMs), "<none>") << "no //CONFIRM, no acknowledgement";
}

TEST_F(PartnerRepliesTest, AConnectionIsAcknowledgedOnItself) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  zevp::BindPartner(partner_, pair[0], pair[0], peer);
  confirm(ZEVP_CONFIRM_SIZE);
  ZEVP_SendReceivedDataAck(partner_, 70000);
  char bytes[8];
  ASSERT_EQ(recv(pair[1], bytes, sizeof bytes, 0), 4);
  EXPECT_EQ(std::string(bytes, 4), Bytes({0, 1, 0x11, 0x70}));
  partner_->ConnectionSocket = 0;
  close(pair[0]);
  close(pair[1]);
}

TEST_F(PartnerRepliesTest, AnAPIreplyIsTheStatusTheStampAndTheDataInTheNetworkCode) {
  DatagramEnd server;
  DatagramEnd client;
  ZEVP_SendAPIreply(anchor_.get(), server.socket(), &client.address(), 52, nullptr, 0);
  EXPECT_EQ(ToLocalCode(client.next(kWaitMs)), "52 1700000123");
  ZEVP_SendAPIreply(anchor_.get(), server.socket(), &client.address(), 0, ";", 1);
  std::string begun = client.next(kWaitMs);
  EXPECT_EQ(begun, Bytes({0xF0, 0x40, 0xF1, 0xF7, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF1, 0xF2, 0xF3, 0x7B, 0x5E}));
  std::string large(3000, 'r');
  ZEVP_SendAPIreply(anchor_.get(), server.socket(), &client.address(), 0, large.data(),
                    static_cast<int>(large.size()));
  EXPECT_EQ(ToLocalCode(client.next(kWaitMs)), "0 1700000123#" + large) << "more than the anchor's 1600 bytes, whole";
}

}  // namespace
