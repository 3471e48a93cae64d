#include "row_builder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "agent_limits.h"
#include "attr_info_list.h"
#include "trace_capture.h"
#include "zev0/storage.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes join(std::initializer_list<Bytes> pieces) {
  Bytes all;
  for (const Bytes& piece : pieces) all.insert(all.end(), piece.begin(), piece.end());
  return all;
}

Bytes bigEndian32(uint32_t n) {
  return {static_cast<unsigned char>(n >> 24), static_cast<unsigned char>(n >> 16), static_cast<unsigned char>(n >> 8),
          static_cast<unsigned char>(n)};
}

template <typename Number>
Bytes host(Number n) {
  Bytes bytes(sizeof n);
  std::memcpy(bytes.data(), &n, sizeof n);
  return bytes;
}

// A raw value field: its length, type 0x0052, the bytes.
Bytes raw(const Bytes& value) { return join({bigEndian32(6 + value.size()), {0x00, 0x52}, value}); }

const Bytes kControl11 = {0, 0, 0, 8, 0x00, 0x70, 0x00, 0x11};

// A row into a buffer of the given size; the bytes written, or none when it failed.
Bytes rowOf(attrInfoList& list, const char* sourceName, int bufferSize = 512) {
  std::vector<char> buffer(static_cast<size_t>(bufferSize));
  char* at = buffer.data();
  int length = list.getAttrValues(&at, bufferSize, sourceName);
  if (length < 0) return {};
  return Bytes(buffer.begin(), buffer.begin() + length);
}

TEST(RowBuilderTest, RowCarriesEachValueAtItsWidthByteForByte) {
  attrInfoList list(nullptr, "GRP", "host1", 'P', 60, "@$KEY,D,4, , ;CNT,C,4, , ;SW,S,2, , ;AVG,A,2, , ;ODD,G,3, , ;",
                    0);
  ASSERT_EQ(list.errors(), 0);
  list.setValue("KEY", 0x11, "ab", 2);
  list.setValue("CNT", 0x11, reinterpret_cast<const char*>(host<int32_t>(0x01020304).data()), 4);
  list.setValue("SW", 0x11, reinterpret_cast<const char*>(host<int16_t>(1).data()), 2);
  list.setValue("AVG", 0x01, reinterpret_cast<const char*>(host<int16_t>(-3).data()), 2);
  Bytes expected = join({
      bigEndian32(66),
      {0, 0, 0, 11, 0x00, 0x21, 0x88, 0x96, 0xA2, 0xA3, 0xF1},  // "host1" in the network code
      {0, 0, 0, 8, 0x00, 0x70, 0x00, 0x01},                     // the last data request's control field
      raw({'a', 'b'}),                                          // the value's own length, not the registered 4
      raw(host<int32_t>(0x01020304)),
      raw(host<int16_t>(1)),
      raw(host<int16_t>(-3)),
      raw({0, 0, 0}),  // a gauge of length 3 has no holder: zeros of its registered length
  });
  EXPECT_EQ(rowOf(list, "host1"), expected);
}

TEST(RowBuilderTest, KeyDataRowAfterAClearHasEmptyFieldsUntilValuesComeBack) {
  attrInfoList list(nullptr, "GRP", "SRC", 'K', 60, "@K,D,4, , ;V,C,4, , ;", 0);
  list.setValue("K", 0x11, "key1", 4);
  list.setValue("V", 0x11, reinterpret_cast<const char*>(host<int32_t>(7).data()), 4);
  list.clearValues();
  EXPECT_EQ(rowOf(list, nullptr), join({bigEndian32(24), kControl11, raw({}), raw({})}));
  list.setValue("V", 0x11, reinterpret_cast<const char*>(host<int32_t>(8).data()), 4);
  EXPECT_EQ(rowOf(list, nullptr), join({bigEndian32(28), kControl11, raw({}), raw(host<int32_t>(8))}));
}

TEST(RowBuilderTest, RowOfAGroupWithoutAttributesIsTheHeadOnly) {
  attrInfoList list(nullptr, "GRP", "s", 'P', 60, "", 0);
  ASSERT_EQ(list.errors(), 0);
  EXPECT_EQ(rowOf(list, "s"), join({bigEndian32(19), {0, 0, 0, 7, 0x00, 0x21, 0xA2}, kControl11}));
  EXPECT_EQ(rowOf(list, nullptr), join({bigEndian32(12), kControl11}));
}

TEST(RowBuilderTest, AttributeWithoutDefaultFailsTheRowOutsideKeyData) {
  TraceCapture capture("*=0x80");
  attrInfoList plain(nullptr, "GRP", "SRC", 'P', 60, "A,C,4, , ;N,I,4, , ;", 0);
  EXPECT_EQ(rowOf(plain, nullptr), Bytes());
  EXPECT_NE(plain.errors(), 0);
  EXPECT_TRUE(capture.contains("Error: Don't know how to handle attrType of I"));
  attrInfoList keyData(nullptr, "GRP", "SRC", 'K', 60, "N,I,4, , ;", 0);
  EXPECT_EQ(rowOf(keyData, nullptr), join({bigEndian32(18), kControl11, raw({})}));
}

TEST(RowBuilderTest, NullBufferIsAllocatedToTheRowsSize) {
  attrInfoList list(nullptr, "GRP", "SRC", 'P', 60, "A,C,4, , ;", 0);
  char* buffer = nullptr;
  EXPECT_EQ(list.getAttrValues(&buffer, 0, nullptr), 22);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(Bytes(buffer, buffer + 22), join({bigEndian32(22), kControl11, raw(host<int32_t>(0))}));
  ZEV0_FreeStorage(&buffer);
}

// 63 display attributes (the most a group may have) behind a 32-character source
// name: 428 bytes of headers, so the former estimate of 288 plus the data lengths
// is 140 bytes short.
struct FullGroup {
  int lastLength;       // 62 attributes of 123 bytes, then this one
  int32_t expectedRow;  // -1: no row
};

std::string fullGroupRegister(int lastLength) {
  std::string text;
  for (int i = 1; i <= 62; ++i) text += "D" + std::to_string(i) + ",D,123, , ;";
  return text + "LAST,D," + std::to_string(lastLength) + ", , ;";
}

TEST(RowBuilderTest, SixtyThreeAttributesFillTheBufferExactlyOrBuildNoRow) {
  TraceCapture capture("*=0x80");
  const int bufferSize = Max_Values_Buf_Size();
  ASSERT_EQ(bufferSize, 8192);
  const std::string source(32, 's');
  for (FullGroup c : {FullGroup{136, 8190}, FullGroup{138, 8192}, FullGroup{139, -1}, FullGroup{150, -1}}) {
    SCOPED_TRACE(c.lastLength);
    const int dataLengths = 62 * 123 + c.lastLength;
    ASSERT_LT(288 + dataLengths, bufferSize);  // the former check would have built every one of these
    attrInfoList list(nullptr, "GRP", source.c_str(), 'P', 60, fullGroupRegister(c.lastLength).c_str(), 0);
    ASSERT_EQ(list.noOfElements(), 63);

    char* buffer = static_cast<char*>(ZEV0_GetStorage(bufferSize));  // exactly the size: any overrun is caught
    std::memset(buffer, 0xAB, static_cast<size_t>(bufferSize));
    char* at = buffer;
    EXPECT_EQ(list.getAttrValues(&at, bufferSize, source.c_str()), c.expectedRow);
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer);
    if (c.expectedRow > 0) {
      EXPECT_EQ(Bytes(bytes, bytes + 4), bigEndian32(static_cast<uint32_t>(c.expectedRow)));
      const unsigned char* lastField = bytes + c.expectedRow - 6 - c.lastLength;
      EXPECT_EQ(Bytes(lastField, lastField + 6), join({bigEndian32(6 + c.lastLength), {0x00, 0x52}}));
      EXPECT_EQ(bytes[c.expectedRow - 1], ' ');
    } else {
      EXPECT_TRUE(capture.contains("does not fit the 8192-byte buffer"));
      EXPECT_EQ(bytes[0], 0xAB);  // nothing written
    }
    for (int i = c.expectedRow > 0 ? c.expectedRow : 0; i < bufferSize; ++i) ASSERT_EQ(bytes[i], 0xAB) << i;
    ZEV0_FreeStorage(&buffer);
  }
}

}  // namespace
