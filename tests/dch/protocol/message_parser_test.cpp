// The readers of replies and pushed messages, on hand-written bytes: whole,
// truncated and garbled.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dch_message_parser.h"
#include "golden_messages.h"
#include "trace_capture.h"

namespace {

using golden::Bytes;

// A received message as the transports hand it over: followed by zero bytes.
struct Received {
  explicit Received(const Bytes& bytes) : buffer(bytes.begin(), bytes.end()), held(bytes.size()) {
    buffer.resize(bytes.size() + 16, 0);
  }
  // Only the first `bytes` of the message arrived; its total still declares the whole.
  Received(const Bytes& bytes, size_t bytesHeld) : Received(Bytes(bytes.begin(), bytes.begin() + bytesHeld)) {}
  char* data() { return buffer.data(); }
  std::vector<char> buffer;
  size_t held;
};

std::string text(const DCHview& view) {
  return view.data == nullptr ? std::string() : std::string(view.data, view.length);
}

// The bytes with one field (at offset, of fieldLength bytes) cut out and the total fixed.
Bytes withoutField(const Bytes& bytes, size_t offset, size_t fieldLength) {
  Bytes cut(bytes);
  cut.erase(cut.begin() + offset, cut.begin() + offset + fieldLength);
  cut[3] = static_cast<unsigned char>(cut.size());
  return cut;
}

TEST(MessageParserTest, StatusReplyTakesTheStatusAndAHandleWhenOneFollows) {
  struct {
    const char* name;
    const Bytes& bytes;
    int32_t status;
    bool hasHandle;
    uint32_t handle;
  } const cases[] = {
      {"success", golden::kStatusReplySuccess, 0, false, 0},
      {"-1 with all bits set", golden::kStatusReplyFailure, -1, false, 0},
      {"online reply", golden::kOnlineReply, 0, true, 0x00C0FFEE},
      {"failed online reply", golden::kFailedOnlineReply, 4, true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Received message(c.bytes);
    DCHstatusReply reply;
    ASSERT_TRUE(DCH_ParseStatusReply(message.data(), message.held, &reply));
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(reply.hasHandle, c.hasHandle);
    EXPECT_EQ(reply.handle, c.handle);
  }
}

TEST(MessageParserTest, OnlineReplyNeedsItsHandle) {
  Received whole(golden::kOnlineReply);
  DCHstatusReply reply;
  ASSERT_TRUE(DCH_ParseStatusReplyWithHandle(whole.data(), whole.held, &reply));
  EXPECT_EQ(reply.handle, 0x00C0FFEEu);

  TraceCapture capture("*=0x80");
  Received statusOnly(golden::kStatusReplySuccess);
  EXPECT_FALSE(DCH_ParseStatusReplyWithHandle(statusOnly.data(), statusOnly.held, &reply));
  EXPECT_TRUE(capture.contains("Error: dataType of DCH_handle missing: 0"));
}

TEST(MessageParserTest, StatusReplyRefusesMissingTruncatedAndGarbledFields) {
  Bytes shortStatus = {0x00, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x08, 0x00, 0x11, 0x00, 0x07};
  Bytes headerTooShort = {0x00, 0x00, 0x00, 0x0E, 0x00, 0x00, 0x00, 0x05, 0x00, 0x11, 0x00, 0x00, 0x00, 0x00};
  Bytes fieldPastTotal = {0x00, 0x00, 0x00, 0x0E, 0x00, 0x00, 0x00, 0x0B, 0x00, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00};
  Bytes handleOfTwoBytes = {0x00, 0x00, 0x00, 0x16, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x11, 0x00,
                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x80, 0x00, 0x01};
  struct {
    const char* name;
    Received message;
    const char* error;
  } cases[] = {
      {"a response instead", Received(golden::kResponse), "Error: dataType of DCH_status missing: 18"},
      {"cut inside the status", Received(golden::kStatusReplySuccess, 11), "Error: dataType of DCH_status missing: 0"},
      {"only the total arrived", Received(golden::kStatusReplySuccess, 4), "Error: dataType of DCH_status missing: 0"},
      {"status of two bytes", Received(shortStatus), "Error: DCH_status value of 2 bytes, expected 4"},
      {"field shorter than its header", Received(headerTooShort), "Error: dataType of DCH_status missing: 0"},
      {"field past the total", Received(fieldPastTotal), "Error: dataType of DCH_status missing: 0"},
      {"handle of two bytes", Received(handleOfTwoBytes), "Error: DCH_handle value of 2 bytes, expected 4"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    TraceCapture capture("*=0x80");
    DCHstatusReply reply;
    EXPECT_FALSE(DCH_ParseStatusReply(c.message.data(), c.message.held, &reply));
    EXPECT_TRUE(capture.contains(c.error)) << capture.take();
  }
}

TEST(MessageParserTest, ResponseIsTheRawText) {
  Received message(golden::kResponse);
  DCHview response;
  ASSERT_TRUE(DCH_ParseResponse(message.data(), message.held, &response));
  EXPECT_EQ(text(response), "AB;");

  TraceCapture capture("*=0x80");
  Received status(golden::kStatusReplySuccess);
  EXPECT_FALSE(DCH_ParseResponse(status.data(), status.held, &response));
  EXPECT_TRUE(capture.contains("Error: dataType of DCH_response missing: 17"));
}

TEST(MessageParserTest, StatusNoticeGivesTheNamesInTheLocalCodeAndTheRequestCode) {
  Received message(golden::kStatusNoticeOffline);
  DCHstatusNotice notice;
  ASSERT_TRUE(DCH_ParseStatusNotice(message.data(), message.held, &notice));
  EXPECT_EQ(text(notice.applName), "APP");
  EXPECT_EQ(text(notice.attrGroup), "GR");
  EXPECT_EQ(text(notice.sourceName), "HOST");
  EXPECT_EQ(notice.requestCode, DCH_dp_offline);
}

TEST(MessageParserTest, StatusNoticeNamesTheFirstFieldThatIsMissing) {
  // Offsets in the notice: applName 4 (9 bytes), attrGroup 13 (8), sourceName 21 (10), requestType 31 (8).
  struct {
    const char* name;
    Received message;
    const char* error;
  } cases[] = {
      {"no application", Received(withoutField(golden::kStatusNoticeOffline, 4, 9)),
       "Error: dataType of DCH_applName missing: 34"},
      {"no group", Received(withoutField(golden::kStatusNoticeOffline, 13, 8)),
       "Error: dataType of DCH_attrGroup missing: 33"},
      {"no source", Received(withoutField(golden::kStatusNoticeOffline, 21, 10)),
       "Error: dataType of DCH_sourceName missing: 16"},
      {"cut before the request code", Received(golden::kStatusNoticeOffline, 31),
       "Error: dataType of DCH_requestType missing: 0"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    TraceCapture capture("*=0x80");
    DCHstatusNotice notice;
    EXPECT_FALSE(DCH_ParseStatusNotice(c.message.data(), c.message.held, &notice));
    EXPECT_TRUE(capture.contains(c.error)) << capture.take();
  }
}

TEST(MessageParserTest, RowMessageGivesItsHeadThenEachRawValue) {
  Received message(golden::kRow);
  DataFieldReader row(message.data(), message.held);
  DCHrowHead head;
  ASSERT_TRUE(DCH_ParseRowHead(row, &head));
  EXPECT_EQ(text(head.sourceName), "HOST");
  EXPECT_EQ(head.controlField, DCH_SingleRow);

  std::vector<std::string> values;
  DCHview value;
  while (DCH_NextRowValue(row, &value)) values.push_back(text(value));
  EXPECT_EQ(values, (std::vector<std::string>{std::string("\0\0\0\x2A", 4), "OK", ""}));
}

TEST(MessageParserTest, RowMessageRefusesAMissingHead) {
  // Offsets in the row: sourceName 4 (10 bytes), controlField 14 (8), first value 22.
  struct {
    const char* name;
    Received message;
    const char* error;
  } cases[] = {
      {"no source", Received(withoutField(golden::kRow, 4, 10)), "Error: dataType of DCH_sourceName missing: 112"},
      {"no control field", Received(withoutField(golden::kRow, 14, 8)),
       "Error: dataType of DCH_controlField missing: 82"},
      {"cut inside the control field", Received(golden::kRow, 20), "Error: dataType of DCH_controlField missing: 0"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    TraceCapture capture("*=0x80");
    DataFieldReader row(c.message.data(), c.message.held);
    DCHrowHead head;
    EXPECT_FALSE(DCH_ParseRowHead(row, &head));
    EXPECT_TRUE(capture.contains(c.error)) << capture.take();
  }
}

TEST(MessageParserTest, RowValuesEndAtATruncatedField) {
  Received message(golden::kRow, 35);  // cut inside the second value
  DataFieldReader row(message.data(), message.held);
  DCHrowHead head;
  ASSERT_TRUE(DCH_ParseRowHead(row, &head));
  DCHview value;
  EXPECT_TRUE(DCH_NextRowValue(row, &value));
  EXPECT_FALSE(DCH_NextRowValue(row, &value));
}

TEST(MessageParserTest, ActionMessageGivesEveryFieldAndCountsTheRequiredOnes) {
  Received message(golden::kActionMessage);
  DCHactionMessage action;
  ASSERT_TRUE(DCH_ParseActionMessage(message.data(), message.held, &action));
  EXPECT_EQ(action.actionType, 1);
  EXPECT_EQ(text(action.owner), "SIT");
  EXPECT_EQ(text(action.node), "HOST:X");
  EXPECT_EQ(text(action.name), "RUN");
  EXPECT_EQ(action.actionID, 7u);
  EXPECT_EQ(text(action.parms), "P=1");
  EXPECT_EQ(action.fieldCount, DCH_ACTION_REQUIRED_FIELDS);
}

TEST(MessageParserTest, ActionMessageTakesFieldsInAnyOrderAndSkipsStrangers) {
  // 0x1060: actionID 7, a help text (not part of an action), actionName "RUN",
  // actionType 3, node "HOST:X", owner "SIT"; no parameters.
  Bytes shuffled = {
      0x00, 0x00, 0x00, 0x44,                                                  // total 68
      0x00, 0x00, 0x00, 0x08, 0x00, 0x10, 0x10, 0x60,                          // request code 0x1060
      0x00, 0x00, 0x00, 0x0A, 0x01, 0x20, 0x00, 0x00, 0x00, 0x07,              // actionID 7
      0x00, 0x00, 0x00, 0x08, 0x00, 0x90, 0xC8, 0xC9,                          // helpText "HI"
      0x00, 0x00, 0x00, 0x09, 0x01, 0x10, 0xD9, 0xE4, 0xD5,                    // actionName "RUN"
      0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0x00, 0x03,                          // actionType 3
      0x00, 0x00, 0x00, 0x0C, 0x00, 0x21, 0xC8, 0xD6, 0xE2, 0xE3, 0x7A, 0xE7,  // node "HOST:X"
      0x00, 0x00, 0x00, 0x09, 0x01, 0x50, 0xE2, 0xC9, 0xE3,                    // actionOwner "SIT"
  };
  TraceCapture capture("*=0x80");
  Received message(shuffled);
  DCHactionMessage action;
  ASSERT_TRUE(DCH_ParseActionMessage(message.data(), message.held, &action));
  EXPECT_EQ(action.actionType, 3);
  EXPECT_EQ(action.actionID, 7u);
  EXPECT_EQ(text(action.name), "RUN");
  EXPECT_EQ(text(action.node), "HOST:X");
  EXPECT_EQ(text(action.owner), "SIT");
  EXPECT_EQ(action.parms.length, 0u);
  EXPECT_EQ(action.fieldCount, DCH_ACTION_REQUIRED_FIELDS);
  EXPECT_TRUE(capture.contains("***** unexpected DCH data field ignored 144"));
}

TEST(MessageParserTest, ActionMessageShortOfFieldsIsCountedShort) {
  // Offsets: actionType 12 (8 bytes), owner 20 (9), node 29 (12), name 41 (9), ID 50 (10), parms 60 (9).
  Bytes shortID = withoutField(golden::kActionMessage, 50, 10);
  const Bytes twoByteID = {0x00, 0x00, 0x00, 0x08, 0x01, 0x20, 0x00, 0x07};
  shortID.insert(shortID.begin() + 50, twoByteID.begin(), twoByteID.end());
  shortID[3] = static_cast<unsigned char>(shortID.size());
  struct {
    const char* name;
    Received message;
    int fieldCount;
    const char* parms;
  } cases[] = {
      {"no identifier", Received(withoutField(golden::kActionMessage, 50, 10)), 4, "P=1"},
      {"identifier of two bytes", Received(shortID), 4, "P=1"},
      {"cut inside the parameters", Received(golden::kActionMessage, 65), 5, ""},
      {"cut after the owner", Received(golden::kActionMessage, 29), 2, ""},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    TraceCapture capture("*=0x80");
    DCHactionMessage action;
    ASSERT_TRUE(DCH_ParseActionMessage(c.message.data(), c.message.held, &action));
    EXPECT_EQ(action.fieldCount, c.fieldCount);
    EXPECT_EQ(text(action.parms), c.parms);
  }
}

TEST(MessageParserTest, ActionMessageRefusesWhatIsNoActionMessage) {
  struct {
    const char* name;
    Received message;
    const char* error;
  } cases[] = {
      {"a status reply", Received(golden::kStatusReplySuccess), "Error: dataType of DCH_requestType missing: 17"},
      {"another request", Received(golden::kWaitForAction), "***** unsupported DCH request ignored"},
      {"nothing but the total", Received(golden::kActionMessage, 4), "Error: dataType of DCH_requestType missing: 0"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    TraceCapture capture("*=0x80");
    DCHactionMessage action;
    EXPECT_FALSE(DCH_ParseActionMessage(c.message.data(), c.message.held, &action));
    EXPECT_TRUE(capture.contains(c.error)) << capture.take();
  }
}

TEST(MessageParserTest, PeekTellsAnActionMessageFromAStatusReplyWithoutConvertingIt) {
  struct {
    const char* name;
    Received message;
    int firstField;
    uint16_t requestCode;
  } cases[] = {
      {"status reply", Received(golden::kOnlineReply), DCH_status, 0},
      {"action message", Received(golden::kActionMessage), DCH_requestType, DCH_dp_provideAction},
      {"status notice", Received(golden::kStatusNoticeOffline), DCH_applName, 0},
      {"nothing but the total", Received(golden::kActionMessage, 4), 0, 0},
      {"cut inside the first field", Received(golden::kActionMessage, 10), 0, 0},
      {"fewer bytes than the total word", Received(golden::kActionMessage, 3), 0, 0},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<char> before = c.message.buffer;
    uint16_t requestCode = 0;
    EXPECT_EQ(DCH_PeekFirstField(c.message.data(), c.message.held, &requestCode), c.firstField);
    EXPECT_EQ(requestCode, c.requestCode);
    EXPECT_EQ(c.message.buffer, before);
  }
  // A message peeked at still parses.
  Received message(golden::kActionMessage);
  DCH_PeekFirstField(message.data(), message.held, nullptr);
  DCHactionMessage action;
  ASSERT_TRUE(DCH_ParseActionMessage(message.data(), message.held, &action));
  EXPECT_EQ(action.actionID, 7u);
}

}  // namespace
