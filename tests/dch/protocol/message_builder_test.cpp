// The bounded builder: a field that does not fit is refused and the message stays as it was.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "dch_message_parser.h"
#include "dch_messages.h"
#include "trace_capture.h"

namespace {

using Append = std::function<bool(DCHmessageBuilder&)>;

struct AppendCase {
  const char* name;
  Append append;
  uint32_t fieldLength;
};

const std::vector<AppendCase>& appendCases() {
  static const uint32_t gauge = 7;
  static const uint16_t onOff = 1;
  static const std::vector<AppendCase> cases = {
      {"u16", [](DCHmessageBuilder& m) { return m.addU16(DCH_controlField, 0x11); }, 8},
      {"u32", [](DCHmessageBuilder& m) { return m.addU32(DCH_handle, 9); }, 10},
      {"text", [](DCHmessageBuilder& m) { return m.addText(DCH_applName, "APPL"); }, 10},
      {"null text", [](DCHmessageBuilder& m) { return m.addText(DCH_helpText, nullptr); }, 6},
      {"char", [](DCHmessageBuilder& m) { return m.addChar(DCH_attributesType, 'P'); }, 7},
      {"raw", [](DCHmessageBuilder& m) { return m.addRaw(DCH_response, "abc", 3); }, 9},
      {"gauge value", [](DCHmessageBuilder& m) { return m.addAttrValue(&gauge, 4, 'G'); }, 10},
      {"switch value, whatever length is given", [](DCHmessageBuilder& m) { return m.addAttrValue(&onOff, 9, 'S'); },
       8},
      {"text value", [](DCHmessageBuilder& m) { return m.addAttrValue("xyz", 3, 'D'); }, 9},
      {"data pair", [](DCHmessageBuilder& m) { return DCH_AddDataPair(m, "N", "xyz", 3, 'D'); }, 7 + 9},
      {"register group",
       [](DCHmessageBuilder& m) { return DCH_AddRegisterGroup(m, "G", "h", 'P', 60, "A,G,4, , ;"); },
       7 + 7 + 7 + 10 + 16},
  };
  return cases;
}

// A message that already holds one field (12 bytes) in a buffer with room for
// exactly `room` more bytes, then guard bytes the builder must never touch.
struct Fixture {
  explicit Fixture(uint32_t room) : buffer(12 + room + 8, '\x5A'), message(buffer.data(), 12 + room) {
    message.addU16(DCH_requestType, DCH_dp_data);
    before = buffer;
  }
  std::vector<char> buffer;
  DCHmessageBuilder message;
  std::vector<char> before;
};

TEST(MessageBuilderTest, EachAppendTakesAFieldThatFitsExactly) {
  for (const AppendCase& c : appendCases()) {
    SCOPED_TRACE(c.name);
    Fixture f(c.fieldLength);
    ASSERT_TRUE(c.append(f.message));
    EXPECT_EQ(f.message.length(), 12 + c.fieldLength);
    EXPECT_EQ(f.buffer[12 + c.fieldLength], '\x5A');
  }
}

TEST(MessageBuilderTest, EachAppendRefusesAFieldOneByteTooLongAndLeavesTheMessageAsItWas) {
  for (const AppendCase& c : appendCases()) {
    SCOPED_TRACE(c.name);
    TraceCapture capture("*=0x80");
    Fixture f(c.fieldLength - 1);
    EXPECT_FALSE(c.append(f.message));
    EXPECT_EQ(f.message.length(), 12u);
    EXPECT_EQ(ZEV0_MessageTotalLength(f.buffer.data()), 12u);
    EXPECT_EQ(std::memcmp(f.buffer.data() + 12 + c.fieldLength - 1, f.before.data() + 12 + c.fieldLength - 1, 8), 0)
        << "wrote past the capacity";
    EXPECT_TRUE(capture.contains("does not fit"));
  }
}

TEST(MessageBuilderTest, APairWhoseValueDoesNotFitLeavesNoNameBehind) {
  // Room for the name field (7 bytes) but not for the value after it.
  Fixture f(7 + 8);
  EXPECT_FALSE(DCH_AddDataPair(f.message, "N", "xyz", 3, 'D'));
  EXPECT_EQ(f.message.length(), 12u);
  // The next append starts where the refused pair would have begun.
  EXPECT_TRUE(f.message.addText(DCH_attrName, "N"));
  EXPECT_EQ(f.message.length(), 19u);
}

TEST(MessageBuilderTest, ABufferTooSmallForTheTotalRefusesEverything) {
  TraceCapture capture("*=0x80");
  char buffer[3] = {1, 2, 3};
  DCHmessageBuilder message(buffer, sizeof buffer);
  EXPECT_EQ(message.length(), 0u);
  EXPECT_FALSE(message.addU16(DCH_requestType, DCH_dp_cancel));
  EXPECT_EQ(buffer[0], 1);
  EXPECT_EQ(DCH_BuildCancel(nullptr, 64), 0u);
}

TEST(MessageBuilderTest, ResumeContinuesTheMessageInItsBuffer) {
  char buffer[64] = {};
  ASSERT_EQ(DCH_BuildUnregister(buffer, sizeof buffer, "APP"), 21u);
  DCHmessageBuilder resumed = DCHmessageBuilder::resume(buffer, sizeof buffer);
  EXPECT_EQ(resumed.length(), 21u);
  ASSERT_TRUE(resumed.addU32(DCH_handle, 3));
  EXPECT_EQ(ZEV0_MessageTotalLength(buffer), 31u);
}

TEST(MessageBuilderTest, ResumeRefusesATotalOutsideItsBuffer) {
  struct {
    const char* name;
    unsigned char total[4];
  } const cases[] = {
      {"shorter than the total word", {0, 0, 0, 3}},
      {"longer than the buffer", {0, 0, 0, 65}},
      {"huge", {0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TraceCapture capture("*=0x80");
    char buffer[64] = {};
    std::memcpy(buffer, c.total, 4);
    DCHmessageBuilder resumed = DCHmessageBuilder::resume(buffer, sizeof buffer);
    EXPECT_EQ(resumed.length(), 0u);
    EXPECT_FALSE(resumed.addU16(DCH_controlField, 1));
    EXPECT_TRUE(capture.contains("does not fit its buffer"));
  }
}

TEST(MessageBuilderTest, HeadsWithFixedOffsetsMustBeginTheirMessage) {
  const std::vector<std::pair<const char*, Append>> heads = {
      {"data head", [](DCHmessageBuilder& m) { return DCH_AddDataHead(m, 1, DCH_SingleRow); }},
      {"register head", [](DCHmessageBuilder& m) { return DCH_AddRegisterHead(m, "APP", "help"); }},
      {"row head", [](DCHmessageBuilder& m) { return DCH_AddRowHead(m, "HOST", DCH_SingleRow); }},
  };
  for (const auto& [name, addHead] : heads) {
    SCOPED_TRACE(name);
    TraceCapture capture("*=0x80");
    char buffer[128] = {};
    DCHmessageBuilder message(buffer, sizeof buffer);
    ASSERT_TRUE(addHead(message));
    uint32_t length = message.length();
    EXPECT_FALSE(addHead(message));
    EXPECT_EQ(message.length(), length);
    EXPECT_TRUE(capture.contains("must begin its message"));
  }
}

// The old data-request formatter appended pairs to its 4096-byte work buffer
// without a check; a long row ran past the end of the buffer.
TEST(MessageBuilderTest, DataRequestNeverPassesItsWorkBuffer) {
  TraceCapture capture("*=0x80");
  std::vector<char> buffer(DCH_REQUEST_BUFFER_SIZE + 256, '\x5A');
  DCHmessageBuilder message(buffer.data(), DCH_REQUEST_BUFFER_SIZE);
  ASSERT_TRUE(DCH_AddDataHead(message, 1, DCH_SingleRow));
  const std::string value(200, 'v');
  int pairs = 0;
  while (DCH_AddDataPair(message, "ATTR", value.c_str(), static_cast<uint32_t>(value.size()), 'D')) ++pairs;

  uint32_t pairLength = (6 + 4) + (6 + 200);
  EXPECT_EQ(pairs, static_cast<int>((DCH_REQUEST_BUFFER_SIZE - DCH_DATA_HEAD_SIZE) / pairLength));
  EXPECT_EQ(message.length(), DCH_DATA_HEAD_SIZE + pairs * pairLength);
  EXPECT_EQ(std::vector<char>(buffer.begin() + DCH_REQUEST_BUFFER_SIZE, buffer.end()), std::vector<char>(256, '\x5A'));

  // What was taken is a whole request: a reader finds every pair.
  DataFieldReader reader(buffer.data(), message.length());
  char* field;
  uint32_t length;
  int fields = 0;
  while (reader.next(&field, &length) != 0) ++fields;
  EXPECT_EQ(fields, 3 + 2 * pairs);
}

}  // namespace
