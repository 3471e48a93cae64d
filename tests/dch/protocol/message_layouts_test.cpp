// Every message layout against bytes written out by hand.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "dch_messages.h"
#include "golden_messages.h"

namespace {

using golden::Bytes;
using Build = std::function<uint32_t(char* buffer, size_t capacity)>;

struct LayoutCase {
  const char* name;
  Build build;
  const Bytes& expected;
};

DCHaction runAction(const char* parms) {
  DCHaction action;
  action.actionType = 1;
  action.owner = "SIT";
  action.node = "HOST:X";
  action.subNode = "SUB";
  action.name = "RUN";
  action.actionID = 7;
  action.parms = parms;
  return action;
}

// Builders that grow a message in pieces, as one Build.
uint32_t buildRegister(char* buffer, size_t capacity) {
  DCHmessageBuilder message(buffer, capacity);
  bool built = DCH_AddRegisterHead(message, "APP", "H") &&
               DCH_AddRegisterGroup(message, "GR", "X", 'P', 300, "A,G,4, , ;");
  return built ? message.length() : 0;
}

uint32_t buildDataWithPairs(char* buffer, size_t capacity) {
  uint32_t gauge = 42;
  uint16_t onOff = 1;
  DCHmessageBuilder message(buffer, capacity);
  bool built = DCH_AddDataHead(message, 1, DCH_SingleRow) && DCH_AddDataPair(message, "CPU", &gauge, 4, 'G') &&
               DCH_AddDataPair(message, "ST", "OK", 2, 'D') && DCH_AddDataPair(message, "SW", &onOff, 2, 'S');
  return built ? message.length() : 0;
}

uint32_t buildRow(char* buffer, size_t capacity) {
  const unsigned char number[] = {0x00, 0x00, 0x00, 0x2A};
  DCHmessageBuilder message(buffer, capacity);
  bool built = DCH_AddRowHead(message, "HOST", DCH_SingleRow) && DCH_AddRowValue(message, number, 4) &&
               DCH_AddRowValue(message, "OK", 2) && DCH_AddRowValue(message, nullptr, 0);
  return built ? message.length() : 0;
}

uint32_t buildClearedRow(char* buffer, size_t capacity) {
  DCHmessageBuilder message(buffer, capacity);
  return DCH_AddRowHead(message, nullptr, DCH_ClearedRow) ? message.length() : 0;
}

const std::vector<LayoutCase>& layoutCases() {
  static const std::vector<LayoutCase> cases = {
      {"register", buildRegister, golden::kRegister},
      {"online", [](char* b, size_t c) { return DCH_BuildOnline(b, c, "APP", "GR", "HOST"); }, golden::kOnline},
      {"unregister", [](char* b, size_t c) { return DCH_BuildUnregister(b, c, "APP"); }, golden::kUnregister},
      {"offline", [](char* b, size_t c) { return DCH_BuildOffline(b, c, 0x01020304); }, golden::kOffline},
      {"data request with pairs", buildDataWithPairs, golden::kDataWithPairs},
      {"wait for action", [](char* b, size_t c) { return DCH_BuildWaitForAction(b, c, 1, "HOST"); },
       golden::kWaitForAction},
      {"action results", [](char* b, size_t c) { return DCH_BuildActionResults(b, c, 5, 0, "OK"); },
       golden::kActionResults},
      {"action results without text",
       [](char* b, size_t c) { return DCH_BuildActionResults(b, c, 5, -3, nullptr); },
       golden::kActionResultsWithoutText},
      {"cancel", [](char* b, size_t c) { return DCH_BuildCancel(b, c); }, golden::kCancel},
      {"get applications named", [](char* b, size_t c) { return DCH_BuildGetAppl(b, c, "APP"); },
       golden::kGetApplNamed},
      {"get applications, all", [](char* b, size_t c) { return DCH_BuildGetAppl(b, c, nullptr); },
       golden::kGetApplAll},
      {"get help", [](char* b, size_t c) { return DCH_BuildGetApplHelp(b, c, "APP"); }, golden::kGetApplHelp},
      {"get attributes without a name", [](char* b, size_t c) { return DCH_BuildGetAttrInfo(b, c, nullptr); },
       golden::kGetAttrInfoWithoutName},
      {"wait on data", [](char* b, size_t c) { return DCH_BuildWaitOnData(b, c, "APP", "GR", DCH_WAIT_PARK); },
       golden::kWaitOnData},
      {"wait for status, remove", [](char* b, size_t c) { return DCH_BuildWaitForDPStatus(b, c, DCH_WAIT_REMOVE); },
       golden::kWaitForDPStatusRemove},
      {"consumer provide action",
       [](char* b, size_t c) { return DCH_BuildConsumerProvideAction(b, c, runAction("P=1")); },
       golden::kConsumerProvideAction},
      {"consumer provide action without parameters",
       [](char* b, size_t c) { return DCH_BuildConsumerProvideAction(b, c, runAction(nullptr)); },
       golden::kConsumerProvideActionWithoutParms},
      {"wait for action results", [](char* b, size_t c) { return DCH_BuildWaitForActionResults(b, c, 7); },
       golden::kWaitForActionResults},
      {"interrupt", [](char* b, size_t c) { return DCH_BuildInterrupt(b, c); }, golden::kInterrupt},
      {"status reply", [](char* b, size_t c) { return DCH_BuildStatusReply(b, c, DCH_STATUS_SUCCESS); },
       golden::kStatusReplySuccess},
      {"status reply -1", [](char* b, size_t c) { return DCH_BuildStatusReply(b, c, -1); },
       golden::kStatusReplyFailure},
      {"failed online reply", [](char* b, size_t c) { return DCH_BuildStatusReplyWithHandle(b, c, 4, 0); },
       golden::kFailedOnlineReply},
      {"online reply", [](char* b, size_t c) { return DCH_BuildStatusReplyWithHandle(b, c, 0, 0x00C0FFEE); },
       golden::kOnlineReply},
      {"response", [](char* b, size_t c) { return DCH_BuildResponse(b, c, "AB;", 3); }, golden::kResponse},
      {"action message", [](char* b, size_t c) { return DCH_BuildProvideAction(b, c, runAction("P=1")); },
       golden::kActionMessage},
      {"action message, null parameters",
       [](char* b, size_t c) { return DCH_BuildProvideAction(b, c, runAction(nullptr)); },
       golden::kActionMessageWithoutParms},
      {"action message, empty parameters",
       [](char* b, size_t c) { return DCH_BuildProvideAction(b, c, runAction("")); },
       golden::kActionMessageWithoutParms},
      {"status notice",
       [](char* b, size_t c) { return DCH_BuildStatusNotice(b, c, "APP", "GR", "HOST", DCH_dp_offline); },
       golden::kStatusNoticeOffline},
      {"action result notice", [](char* b, size_t c) { return DCH_BuildActionResultNotice(b, c, 0); },
       golden::kStatusReplySuccess},
      {"row message", buildRow, golden::kRow},
      {"cleared row without source", buildClearedRow, golden::kClearedRowWithoutSource},
  };
  return cases;
}

Bytes bytesOf(const std::vector<char>& buffer, uint32_t length) {
  return Bytes(buffer.begin(), buffer.begin() + length);
}

TEST(MessageLayoutsTest, EveryLayoutMatchesItsBytes) {
  for (const LayoutCase& layout : layoutCases()) {
    SCOPED_TRACE(layout.name);
    std::vector<char> buffer(DCH_REQUEST_BUFFER_SIZE, '\xAA');
    uint32_t length = layout.build(buffer.data(), buffer.size());
    ASSERT_EQ(length, layout.expected.size());
    EXPECT_EQ(bytesOf(buffer, length), layout.expected);
    EXPECT_EQ(static_cast<unsigned char>(buffer[length]), 0xAA) << "wrote behind the message";
  }
}

TEST(MessageLayoutsTest, EveryLayoutFitsExactlyAndIsRefusedOneByteShort) {
  for (const LayoutCase& layout : layoutCases()) {
    SCOPED_TRACE(layout.name);
    size_t size = layout.expected.size();
    std::vector<char> exact(size);
    EXPECT_EQ(layout.build(exact.data(), size), size);
    std::vector<char> tooSmall(size - 1);
    EXPECT_EQ(layout.build(tooSmall.data(), tooSmall.size()), 0u);
  }
}

TEST(MessageLayoutsTest, SizesThatFollowFromTheLayouts) {
  EXPECT_EQ(golden::kStatusReplySuccess.size(), DCH_STATUS_REPLY_SIZE);
  EXPECT_EQ(golden::kFailedOnlineReply.size(), DCH_STATUS_REPLY_WITH_HANDLE_SIZE);
  EXPECT_EQ(golden::kDataHeadOnly.size(), DCH_DATA_HEAD_SIZE);
  EXPECT_EQ(golden::kOffline.size(), DCH_NUMBER_REQUEST_SIZE);
  EXPECT_EQ(golden::kWaitForDPStatusRemove.size(), DCH_NUMBER_REQUEST_SIZE);
  EXPECT_EQ(golden::kWaitForActionResults.size(), DCH_NUMBER_REQUEST_SIZE);
  EXPECT_EQ(golden::kGetApplAll.size(), DCH_CODE_ONLY_REQUEST_SIZE);
  EXPECT_EQ(golden::kInterrupt.size(), DCH_INTERRUPT_SIZE);
  EXPECT_EQ(std::strlen(DCH_INTERRUPT_TEXT), 11u);
}

TEST(MessageLayoutsTest, DataRequestWithNoPairsIsItsHeadWithHandleAndControlAtFixedOffsets) {
  // The client writes placeholders first and fills the head in just before sending.
  char buffer[DCH_REQUEST_BUFFER_SIZE] = {};
  DCHmessageBuilder message(buffer, sizeof buffer);
  ASSERT_TRUE(DCH_AddDataHead(message, 0, DCH_SingleRow));
  ASSERT_EQ(message.length(), DCH_DATA_HEAD_SIZE);
  ASSERT_TRUE(DCH_SetDataHead(buffer, message.length(), 0x0A0B0C0D, DCH_EndSampleSet));
  EXPECT_EQ(Bytes(buffer, buffer + DCH_DATA_HEAD_SIZE), golden::kDataHeadOnly);
}

TEST(MessageLayoutsTest, SetDataHeadRefusesAMessageShorterThanTheHead) {
  char buffer[DCH_DATA_HEAD_SIZE] = {};
  EXPECT_FALSE(DCH_SetDataHead(buffer, DCH_DATA_HEAD_SIZE - 1, 1, DCH_SingleRow));
  EXPECT_EQ(Bytes(buffer, buffer + sizeof buffer), Bytes(sizeof buffer, 0));
  EXPECT_FALSE(DCH_SetDataHead(nullptr, DCH_DATA_HEAD_SIZE, 1, DCH_SingleRow));
}

TEST(MessageLayoutsTest, PseudoMessagesAreKnownByTheirTexts) {
  struct {
    DCHmessageKind kind;
    std::string text;
    size_t comparedBytes;
  } const kinds[] = {
      {DCHmessageKind::disconnect, "DP-DISCONNECT", 13},
      {DCHmessageKind::serverReady, "IPC-SERVER_READY", 16},
      {DCHmessageKind::resend, "RESEND_MESSAGE", 14},
  };
  for (const auto& pseudo : kinds) {
    SCOPED_TRACE(pseudo.text);
    EXPECT_EQ(std::string(DCH_MessageKindText(pseudo.kind)), pseudo.text);
    EXPECT_EQ(pseudo.text.size(), pseudo.comparedBytes);
  }
  EXPECT_EQ(std::string(DCH_MessageKindText(DCHmessageKind::message)), "DCH message");
}

}  // namespace
