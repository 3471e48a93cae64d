#include "zev0/typed_field.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "trc1.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes bytesAt(const char* at, size_t count) {
  const auto* start = reinterpret_cast<const unsigned char*>(at);
  return Bytes(start, start + count);
}

// A zero-filled buffer, as the transports hand every received message over.
struct MessageBuffer {
  char bytes[128] = {};

  char* message() { return bytes; }
  char* firstField() { return bytes + DCH_MESSAGE_HEADER_SIZE; }
  void load(const Bytes& content) { std::memcpy(bytes, content.data(), content.size()); }
};

// ---------------------------------------------------------------- writer

struct GoldenField {
  const char* name;
  int16_t dataType;
  const void* value;
  uint32_t valueLength;
  Bytes expected;  // the whole message: total length, then the one field
};

const uint16_t kRequestCode = 0x1010;
const uint32_t kHandle = 0x01020304;
const char kSampleType = 'P';
const unsigned char kRaw[] = {0x01, 0x41, 0xFF};

TEST(TypedFieldTest, EachKindOfFieldIsWrittenAsItsGoldenBytes) {
  const GoldenField cases[] = {
      {"u16, a message of one request code", DCH_requestType, &kRequestCode, 0,
       {0, 0, 0, 12, 0, 0, 0, 8, 0x00, 0x10, 0x10, 0x10}},
      {"u32", DCH_handle, &kHandle, 0, {0, 0, 0, 14, 0, 0, 0, 10, 0x00, 0x80, 0x01, 0x02, 0x03, 0x04}},
      {"char", DCH_attributesType, &kSampleType, 0, {0, 0, 0, 11, 0, 0, 0, 7, 0x00, 0x30, 0xD7}},
      {"text", DCH_applName, "Ab1 ", 0, {0, 0, 0, 14, 0, 0, 0, 10, 0x00, 0x20, 0xC1, 0x82, 0xF1, 0x40}},
      {"null text", DCH_helpText, nullptr, 0, {0, 0, 0, 10, 0, 0, 0, 6, 0x00, 0x90}},
      {"raw", DCH_response, kRaw, 3, {0, 0, 0, 13, 0, 0, 0, 9, 0x00, 0x12, 0x01, 0x41, 0xFF}},
      {"u16 of a high type", DCH_actionType, &kRequestCode, 0, {0, 0, 0, 12, 0, 0, 0, 8, 0x01, 0x00, 0x10, 0x10}},
  };
  for (const GoldenField& c : cases) {
    SCOPED_TRACE(c.name);
    MessageBuffer buffer;
    uint32_t fieldLength =
        ZEV0_FormatDataField(buffer.message(), buffer.firstField(), c.dataType, c.value, c.valueLength, nullptr);
    EXPECT_EQ(fieldLength, c.expected.size() - DCH_MESSAGE_HEADER_SIZE);
    EXPECT_EQ(bytesAt(buffer.message(), c.expected.size()), c.expected);
  }
}

TEST(TypedFieldTest, TotalGrowsWithEachFieldAndStartsAnewAtTheFirstField) {
  MessageBuffer buffer;
  char* cursor = buffer.firstField();
  cursor += ZEV0_FormatDataField(buffer.message(), cursor, DCH_requestType, &kRequestCode, 0, nullptr);
  cursor += ZEV0_FormatDataField(buffer.message(), cursor, DCH_status, &kHandle, 0, nullptr);
  EXPECT_EQ(bytesAt(buffer.message(), 4), (Bytes{0, 0, 0, 22}));
  EXPECT_EQ(cursor, buffer.message() + 22);

  ZEV0_FormatDataField(buffer.message(), buffer.firstField(), DCH_requestType, &kRequestCode, 0, nullptr);
  EXPECT_EQ(bytesAt(buffer.message(), 4), (Bytes{0, 0, 0, 12}));
}

struct WrittenValue {
  char letter;
  Bytes hostValue;  // what the caller hands over (host order for numbers)
  uint32_t valueLength;
  Bytes wire;  // the value as it travels
};

template <typename T>
Bytes hostBytes(T value) {
  return bytesAt(reinterpret_cast<const char*>(&value), sizeof value);
}

TEST(TypedFieldTest, AttributeValueIsWrittenByTheTypeLetter) {
  const Bytes short1234 = hostBytes<uint16_t>(0x1234);
  const Bytes long01020304 = hostBytes<uint32_t>(0x01020304);
  const WrittenValue cases[] = {
      {'S', short1234, 99, {0x12, 0x34}},  // always 2 bytes, whatever length is given
      {'G', short1234, 2, {0x12, 0x34}},       {'G', long01020304, 4, {0x01, 0x02, 0x03, 0x04}},
      {'C', short1234, 2, {0x12, 0x34}},       {'C', long01020304, 4, {0x01, 0x02, 0x03, 0x04}},
      {'A', short1234, 2, {0x12, 0x34}},       {'A', long01020304, 4, {0x01, 0x02, 0x03, 0x04}},
      {'?', long01020304, 4, {0x01, 0x02, 0x03, 0x04}},
      {'#', short1234, 2, {0x12, 0x34}},       {'%', long01020304, 4, {0x01, 0x02, 0x03, 0x04}},
      {'D', {'H', 'i', '4'}, 3, {0xC8, 0x89, 0xF4}},
      {'T', {'1', '2'}, 2, {0xF1, 0xF2}},
  };
  for (const WrittenValue& c : cases) {
    SCOPED_TRACE(std::string("letter ") + c.letter + " length " + std::to_string(c.valueLength));
    MessageBuffer buffer;
    Bytes value = c.hostValue;
    value.resize(8, 0x5A);  // 'S' reads only 2 bytes of whatever length is given
    uint32_t fieldLength =
        ZEV0_FormatDataField(buffer.message(), buffer.firstField(), DCH_attrValue, value.data(), c.valueLength,
                             &c.letter);
    EXPECT_EQ(fieldLength, DCH_FIELD_HEADER_SIZE + c.wire.size());
    EXPECT_EQ(bytesAt(buffer.firstField(), 6), (Bytes{0, 0, 0, static_cast<unsigned char>(fieldLength), 0x00, 0x51}));
    EXPECT_EQ(bytesAt(buffer.firstField() + 6, c.wire.size()), c.wire);
  }
}

// Death-test children write the trace and standard output to standard error,
// where the death test looks for the lines.
void traceAndStdoutToStderr() {
  TRC1_Configure("*=0x80");
  dup2(STDERR_FILENO, STDOUT_FILENO);
}

TEST(TypedFieldDeathTest, UnknownTypeGivenToTheWriterAborts) {
  MessageBuffer buffer;
  EXPECT_EXIT(
      {
        traceAndStdoutToStderr();
        ZEV0_FormatDataField(buffer.message(), buffer.firstField(), 0x99, "x", 1, nullptr);
      },
      testing::KilledBySignal(SIGABRT),
      "\\*\\*\\*Error: received unsupported DCH data type: 153.*\n"
      "Logic error\\. Received invalid DCH data type\\.  Exiting\\.\\.\\.\n\n");
}

TEST(TypedFieldDeathTest, NumericValueOfThreeBytesGivenToTheWriterExitsWithOne) {
  MessageBuffer buffer;
  const char gauge = 'G';
  EXPECT_EXIT(
      {
        traceAndStdoutToStderr();
        ZEV0_FormatDataField(buffer.message(), buffer.firstField(), DCH_attrValue, "abc", 3, &gauge);
      },
      testing::ExitedWithCode(1),
      "\\*\\*\\*Error: received unsupported numeric datasize: 3.*\n"
      "Logic error\\. Invalid input Counter/Gauge attribute size\\.  Exiting\\.\\.\\.\n\n");
}

// ---------------------------------------------------------------- reader

// One field of the given type and value behind a message header, hand-built.
Bytes oneFieldMessage(uint16_t dataType, const Bytes& value) {
  auto fieldLength = static_cast<unsigned char>(DCH_FIELD_HEADER_SIZE + value.size());
  Bytes message{0, 0, 0, static_cast<unsigned char>(DCH_MESSAGE_HEADER_SIZE + fieldLength),
                0, 0, 0, fieldLength, static_cast<unsigned char>(dataType >> 8), static_cast<unsigned char>(dataType)};
  message.insert(message.end(), value.begin(), value.end());
  return message;
}

struct ReadValue {
  char letter;
  Bytes wire;
  Bytes host;  // the value bytes after the in-place conversion
};

TEST(TypedFieldTest, AttributeValueIsReadByTheRegisteredLetter) {
  const ReadValue cases[] = {
      {'S', {0x12, 0x34}, hostBytes<uint16_t>(0x1234)},
      {'G', {0x12, 0x34}, hostBytes<uint16_t>(0x1234)},
      {'G', {0x01, 0x02, 0x03, 0x04}, hostBytes<uint32_t>(0x01020304)},
      {'C', {0x12, 0x34}, hostBytes<uint16_t>(0x1234)},
      {'C', {0x01, 0x02, 0x03, 0x04}, hostBytes<uint32_t>(0x01020304)},
      {'A', {0x12, 0x34}, hostBytes<uint16_t>(0x1234)},
      {'A', {0x01, 0x02, 0x03, 0x04}, hostBytes<uint32_t>(0x01020304)},
      {'G', {0x01, 0x02, 0x03}, {0x01, 0x02, 0x03}},  // neither 2 nor 4: left as it came
      {'C', {0x01, 0x02, 0x03, 0x04, 0x05}, {0x01, 0x02, 0x03, 0x04, 0x05}},
      {'D', {0xC8, 0x89, 0xF4}, {'H', 'i', '4'}},
      {'?', {0xC1, 0x6F}, {'A', '?'}},  // a reader never meets it: text like any other letter
  };
  for (const ReadValue& c : cases) {
    SCOPED_TRACE(std::string("letter ") + c.letter + " length " + std::to_string(c.wire.size()));
    MessageBuffer buffer;
    buffer.load(oneFieldMessage(DCH_attrValue, c.wire));
    char* cursor = buffer.firstField();
    char* value = nullptr;
    uint32_t valueLength = 0;
    EXPECT_EQ(ZEV0_ExtractDataField(&cursor, &value, &valueLength, &c.letter), DCH_attrValue);
    EXPECT_EQ(value, buffer.firstField() + DCH_FIELD_HEADER_SIZE);
    EXPECT_EQ(valueLength, c.wire.size());
    EXPECT_EQ(bytesAt(value, valueLength), c.host);
    EXPECT_EQ(cursor, value + valueLength);
  }
}

TEST(TypedFieldTest, FieldsAreReadInHostFormUpToTheZeroFilledEnd) {
  MessageBuffer buffer;
  Bytes message{0, 0, 0, 37,                                       // total
                0, 0, 0, 8,  0x00, 0x10, 0x10, 0x15,               // request code
                0, 0, 0, 10, 0x00, 0x11, 0x00, 0x00, 0x01, 0x02,   // status
                0, 0, 0, 9,  0x00, 0x22, 0xC1, 0xC2, 0xC3,         // text "ABC"
                0, 0, 0, 6,  0x00, 0x90};                          // empty text
  buffer.load(message);
  char* cursor = buffer.firstField();
  char* value = nullptr;
  uint32_t valueLength = 0;

  EXPECT_EQ(ZEV0_ExtractDataField(&cursor, &value, &valueLength, nullptr), DCH_requestType);
  uint16_t code;
  std::memcpy(&code, value, 2);
  EXPECT_EQ(code, 0x1015);

  EXPECT_EQ(ZEV0_ExtractDataField(&cursor, &value, &valueLength, nullptr), DCH_status);
  uint32_t status;
  std::memcpy(&status, value, 4);
  EXPECT_EQ(status, 0x0102u);

  EXPECT_EQ(ZEV0_ExtractDataField(&cursor, &value, &valueLength, nullptr), DCH_attrGroup);
  EXPECT_EQ(std::string(value, valueLength), "ABC");
  EXPECT_EQ(value + valueLength, cursor);  // no terminator written: the next header follows

  EXPECT_EQ(ZEV0_ExtractDataField(&cursor, &value, &valueLength, nullptr), DCH_helpText);
  EXPECT_EQ(valueLength, 0u);
  EXPECT_EQ(cursor, buffer.message() + 37);

  char* end = cursor;
  EXPECT_EQ(ZEV0_ExtractDataField(&cursor, &value, &valueLength, nullptr), 0);
  EXPECT_EQ(cursor, end);
}

TEST(TypedFieldTest, TypeNotInTheTableIsReturnedWithItsValueUntouched) {
  const struct {
    uint16_t wireType;
    int expected;
  } cases[] = {{0x99, 0x99}, {0x8001, -32767}};  // the 16-bit type, sign-extended
  for (const auto& c : cases) {
    SCOPED_TRACE(c.wireType);
    MessageBuffer buffer;
    buffer.load(oneFieldMessage(c.wireType, {0xC1, 0x00, 0x12}));
    char* cursor = buffer.firstField();
    char* value = nullptr;
    uint32_t valueLength = 0;
    EXPECT_EQ(ZEV0_ExtractDataField(&cursor, &value, &valueLength, nullptr), c.expected);
    EXPECT_EQ(bytesAt(value, valueLength), (Bytes{0xC1, 0x00, 0x12}));
    EXPECT_EQ(cursor, buffer.firstField() + 9);
  }
}

TEST(TypedFieldTest, WhatOneSideWritesTheOtherReadsBack) {
  MessageBuffer buffer;
  const char gauge = 'G';
  const uint32_t reading = 0xFEDCBA98;
  char* cursor = buffer.firstField();
  cursor += ZEV0_FormatDataField(buffer.message(), cursor, DCH_attrName, "Disk_Free", 0, nullptr);
  cursor += ZEV0_FormatDataField(buffer.message(), cursor, DCH_attrValue, &reading, 4, &gauge);

  DataFieldReader reader(buffer.message(), sizeof buffer.bytes);
  char* value = nullptr;
  uint32_t valueLength = 0;
  EXPECT_EQ(reader.next(&value, &valueLength), DCH_attrName);
  EXPECT_EQ(std::string(value, valueLength), "Disk_Free");
  EXPECT_EQ(reader.next(&value, &valueLength, &gauge), DCH_attrValue);
  uint32_t readBack;
  std::memcpy(&readBack, value, 4);
  EXPECT_EQ(readBack, reading);
  EXPECT_EQ(reader.next(&value, &valueLength), 0);
  EXPECT_EQ(reader.cursor(), cursor);
}

// ---------------------------------------------------------------- bounded reader

struct BoundedCase {
  const char* name;
  Bytes message;
  size_t heldBytes;
};

TEST(TypedFieldTest, BoundedReaderTakesAFieldThatDoesNotFitAsTheEnd) {
  const BoundedCase cases[] = {
      {"field shorter than its header", {0, 0, 0, 20, 0, 0, 0, 5, 0x00, 0x10, 0x10, 0x10}, 64},
      {"field past the declared total", {0, 0, 0, 12, 0, 0, 0, 10, 0x00, 0x80, 1, 2, 3, 4}, 64},
      {"field past the bytes held", {0, 0, 0, 14, 0, 0, 0, 10, 0x00, 0x80, 1, 2, 3, 4}, 13},
      {"field length far beyond everything", {0, 0, 0, 14, 0xFF, 0xFF, 0xFF, 0xF0, 0x00, 0x80, 1, 2, 3, 4}, 64},
      {"fewer bytes held than the header", {0, 0, 0, 14, 0, 0, 0, 10, 0x00, 0x80, 1, 2, 3, 4}, 3},
      {"declared total shorter than its own header", {0, 0, 0, 2, 0, 0, 0, 8, 0x00, 0x10, 0x10, 0x10}, 64},
  };
  for (const BoundedCase& c : cases) {
    SCOPED_TRACE(c.name);
    MessageBuffer buffer;
    buffer.load(c.message);
    Bytes before = bytesAt(buffer.message(), sizeof buffer.bytes);
    DataFieldReader reader(buffer.message(), c.heldBytes);
    char* start = reader.cursor();
    char* value = nullptr;
    uint32_t valueLength = 0;
    EXPECT_EQ(reader.next(&value, &valueLength), 0);
    EXPECT_EQ(reader.cursor(), start);
    EXPECT_EQ(bytesAt(buffer.message(), sizeof buffer.bytes), before);
  }
}

// The fault: a reader of no message at all made a pointer 4 bytes past null.
TEST(TypedFieldTest, RegressionANullMessageHasNoFields) {
  DataFieldReader reader(nullptr, 0);
  char* value = nullptr;
  uint32_t valueLength = 0;
  EXPECT_EQ(reader.next(&value, &valueLength), 0);
  EXPECT_EQ(reader.cursor(), nullptr);
}

TEST(TypedFieldTest, BoundedReaderStopsAtTheBytesHeldWhenTheTotalClaimsMore) {
  MessageBuffer buffer;
  buffer.load({0, 0, 0, 60,                              // claims more than arrived
               0, 0, 0, 8, 0x00, 0x10, 0x10, 0x30,       // held
               0, 0, 0, 8, 0x00, 0x70, 0x00, 0x01});     // in the buffer, but not held
  DataFieldReader reader(buffer.message(), 12);
  char* value = nullptr;
  uint32_t valueLength = 0;
  EXPECT_EQ(reader.next(&value, &valueLength), DCH_requestType);
  EXPECT_EQ(reader.next(&value, &valueLength), 0);
  EXPECT_EQ(reader.cursor(), buffer.message() + 12);
  EXPECT_EQ(reader.end(), buffer.message() + 12);
}

TEST(TypedFieldTest, BoundedReaderConvertsNumbersOnlyWhenTheValueIsLongEnough) {
  const struct {
    uint16_t dataType;
    Bytes wire;
  } cases[] = {{DCH_handle, {0x01, 0x02}}, {DCH_status, {0x01, 0x02, 0x03}}, {DCH_requestType, {0x01}}};
  const char shortLetter = 'S';
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dataType);
    MessageBuffer buffer;
    buffer.load(oneFieldMessage(c.dataType, c.wire));
    char* cursor = buffer.firstField();
    char* value = nullptr;
    uint32_t valueLength = 0;
    EXPECT_EQ(ZEV0_ExtractBoundedDataField(&cursor, buffer.message() + buffer.message()[3], &value, &valueLength,
                                           &shortLetter),
              c.dataType);
    EXPECT_EQ(valueLength, c.wire.size());
    EXPECT_EQ(bytesAt(value, valueLength), c.wire);
  }
  MessageBuffer buffer;
  buffer.load(oneFieldMessage(DCH_attrValue, {0x12}));
  char* cursor = buffer.firstField();
  char* value = nullptr;
  uint32_t valueLength = 0;
  EXPECT_EQ(ZEV0_ExtractBoundedDataField(&cursor, buffer.message() + 11, &value, &valueLength, &shortLetter),
            DCH_attrValue);
  EXPECT_EQ(bytesAt(value, valueLength), Bytes{0x12});
}

TEST(TypedFieldTest, BoundedReaderTakesAFieldEndingExactlyAtTheBound) {
  MessageBuffer buffer;
  buffer.load(oneFieldMessage(DCH_handle, {0x00, 0x00, 0x00, 0x07}));
  char* cursor = buffer.firstField();
  char* value = nullptr;
  uint32_t valueLength = 0;
  EXPECT_EQ(ZEV0_ExtractBoundedDataField(&cursor, buffer.message() + 14, &value, &valueLength, nullptr), DCH_handle);
  EXPECT_EQ(cursor, buffer.message() + 14);
  EXPECT_EQ(ZEV0_ExtractBoundedDataField(&cursor, buffer.message() + 14, &value, &valueLength, nullptr), 0);
  EXPECT_EQ(cursor, buffer.message() + 14);
}

}  // namespace
