#include "current_value.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "attr_info_list.h"
#include "manual_clock.h"
#include "trace_capture.h"
#include "zev0/timestamp.h"

namespace {

using Bytes = std::vector<char>;

Bytes host16(int16_t number) {
  Bytes bytes(2);
  std::memcpy(bytes.data(), &number, 2);
  return bytes;
}

Bytes host32(int32_t number) {
  Bytes bytes(4);
  std::memcpy(bytes.data(), &number, 4);
  return bytes;
}

Bytes text(const std::string& characters) { return Bytes(characters.begin(), characters.end()); }

Bytes holderOf(const CurrentValue& value, size_t size) { return Bytes(value.bytes(), value.bytes() + size); }

struct SetCase {
  const char* name;
  char type;
  int16_t registeredLength;
  std::vector<Bytes> values;  // given one after the other
  Bytes expectedHolder;       // the whole holder
  int16_t expectedDataLength;
};

const SetCase kSetCases[] = {
    {"counter of 4 takes 4 bytes", 'C', 4, {host32(0x01020304)}, host32(0x01020304), 4},
    {"counter of 4 sign-extends 2 bytes", 'C', 4, {host16(-2)}, host32(-2), 4},
    {"counter of 2 takes 2 bytes", 'C', 2, {host16(7)}, host16(7), 2},
    {"counter of 2 keeps the low 16 bits of 4", 'C', 2, {host32(0x00012345)}, host16(0x2345), 2},
    {"gauge of 4 ignores 3 bytes", 'G', 4, {host32(9), Bytes(3, 'x')}, host32(9), 4},
    {"gauge of 2 ignores 1 byte", 'G', 2, {Bytes(1, 'x')}, host16(0), 2},
    {"gauge of 2 takes a negative number", 'G', 2, {host16(-5)}, host16(-5), 2},
    {"switch takes 2 bytes", 'S', 2, {host16(1)}, host16(1), 2},
    {"switch registered with 4 still holds 2", 'S', 4, {host16(3)}, host16(3), 2},
    {"switch takes the first 2 of 4 bytes", 'S', 2, {text("abcd")}, text("ab"), 2},
    {"switch ignores 1 byte", 'S', 2, {host16(4), Bytes(1, 'x')}, host16(4), 2},
    {"average of 4: 10, 20, 60", 'A', 4, {host32(10), host32(20), host32(60)}, host32(30), 4},
    {"average of 2: 10, 20, 60", 'A', 2, {host16(10), host16(20), host16(60)}, host16(30), 2},
    {"average of 2 over both widths", 'A', 2, {host16(10), host32(20)}, host16(15), 2},
    {"average of 4 over both widths", 'A', 4, {host32(-10), host16(-20)}, host32(-15), 4},
    {"average of 2 cuts a 4-byte number first", 'A', 2, {host32(0x10005), host16(7)}, host16(6), 2},
    {"average of large numbers does not overflow",
     'A',
     4,
     {host32(INT32_MAX), host32(INT32_MAX)},
     host32(INT32_MAX),
     4},
    {"average ignores a value of another length", 'A', 4, {host32(8), Bytes(3, 'x')}, host32(8), 4},
    {"display shorter than registered", 'D', 8, {text("ab")}, text(std::string("ab") + std::string(7, '\0')), 2},
    {"display cut to the registered length", 'D', 8, {text("0123456789")}, text(std::string("01234567") + '\0'), 8},
    {"later shorter text clears the rest", 'O', 4, {text("wxyz"), text("a")}, text("a" + std::string(4, '\0')), 1},
    {"time takes text like a display",
     'T',
     16,
     {text("1020215102030000")},
     text(std::string("1020215102030000") + '\0'),
     16},
};

TEST(CurrentValueTest, SetForEachTypeLetterAndWidth) {
  TraceCapture capture("*=0x80");
  for (const SetCase& c : kSetCases) {
    SCOPED_TRACE(c.name);
    CurrentValue value(c.type, c.registeredLength);
    for (const Bytes& given : c.values) value.set(given.data(), static_cast<uint32_t>(given.size()), "ATTR");
    ASSERT_TRUE(value.hasHolder());
    EXPECT_EQ(holderOf(value, c.expectedHolder.size()), c.expectedHolder);
    EXPECT_EQ(value.dataLength(), c.expectedDataLength);
  }
}

TEST(CurrentValueTest, TruncatedTextIsTraced) {
  TraceCapture capture("*=0x80");
  CurrentValue value('D', 8);
  value.set("0123456789", 10, "DISP");
  EXPECT_TRUE(capture.contains("Warning: AttrName DISP had registration length 8 but value length 10 - Truncating."));
}

TEST(CurrentValueTest, NumbersOfOtherRegisteredLengthsAndUnknownLettersHaveNoHolder) {
  struct NoHolder {
    char type;
    int16_t length;
  };
  for (NoHolder c : {NoHolder{'A', 3}, NoHolder{'C', 8}, NoHolder{'G', 0}, NoHolder{'I', 4}, NoHolder{'K', 4}}) {
    SCOPED_TRACE(std::string(1, c.type) + std::to_string(c.length));
    CurrentValue value(c.type, c.length);
    EXPECT_FALSE(value.hasHolder());
    Bytes given = host32(5);
    value.set(given.data(), 4, "ATTR");  // ignored, nothing written anywhere
    value.clear();
    EXPECT_FALSE(value.hasHolder());
    EXPECT_EQ(value.numberOfSamples(), 0);
  }
}

TEST(CurrentValueTest, HoldersAtCreation) {
  EXPECT_EQ(holderOf(CurrentValue('C', 4), 4), host32(0));
  EXPECT_EQ(holderOf(CurrentValue('G', 2), 2), host16(0));
  EXPECT_EQ(holderOf(CurrentValue('S', 2), 2), host16(0));
  CurrentValue display('D', 32);
  EXPECT_EQ(holderOf(display, 33), text(std::string(32, ' ') + '\0'));
  EXPECT_EQ(display.dataLength(), 32);
}

struct ClearCase {
  const char* name;
  char type;
  int16_t registeredLength;
  Bytes given;
  Bytes expectedHolder;
};

const ClearCase kClearCases[] = {
    {"counter of 4", 'C', 4, host32(-1), host32(0)},
    {"counter of 2 only over its 2 bytes", 'C', 2, host16(-1), host16(0)},
    {"average of 2 only over its 2 bytes", 'A', 2, host16(-1), host16(0)},
    {"gauge of 4 over all 4 bytes", 'G', 4, host32(-1), host32(0)},
    {"switch", 'S', 2, host16(-1), host16(0)},
    {"display to blanks, terminator kept", 'D', 5, text("abcde"), text(std::string(5, ' ') + '\0')},
    {"object to blanks", 'O', 3, text("ab"), text(std::string(3, ' ') + '\0')},
};

TEST(CurrentValueTest, ClearResetsEachHolderOverItsOwnWidth) {
  for (const ClearCase& c : kClearCases) {
    SCOPED_TRACE(c.name);
    CurrentValue value(c.type, c.registeredLength);
    value.set(c.given.data(), static_cast<uint32_t>(c.given.size()), "ATTR");
    int16_t lengthBefore = value.dataLength();
    value.clear();
    EXPECT_EQ(holderOf(value, c.expectedHolder.size()), c.expectedHolder);
    EXPECT_EQ(value.dataLength(), lengthBefore);
  }
}

TEST(CurrentValueTest, ClearKeepsTheAverageRunning) {
  CurrentValue value('A', 4);
  for (int32_t n : {10, 20}) value.set(host32(n).data(), 4, "AVG");
  value.clear();
  EXPECT_EQ(holderOf(value, 4), host32(0));
  value.set(host32(60).data(), 4, "AVG");
  EXPECT_EQ(holderOf(value, 4), host32(30));
  EXPECT_EQ(value.runningSum(), 90);
  EXPECT_EQ(value.numberOfSamples(), 3);
}

// The date and time part of the stamp of the clock's second (its counter part varies).
std::string stampSecondsOf(time_t seconds) {
  char stamp[ZEV0_PLOVEN_TIME_BLOCK_SIZE] = {};
  ZEV0_ConvertTimeToPlovenTime(&seconds, stamp);
  return std::string(stamp, 13);
}

TEST(CurrentValueTest, TimeHolderTakesTheStampCutOrPaddedToItsLength) {
  ManualClock clock(1013768430);
  const std::string seconds = stampSecondsOf(1013768430);
  for (int16_t length : {4, 13, 16, 20}) {
    SCOPED_TRACE(length);
    CurrentValue created('T', length);
    CurrentValue cleared('T', length);
    cleared.set("xxxxxxxxxxxxxxxxxxxx", static_cast<uint32_t>(length), "WHEN");
    cleared.clear();
    for (const CurrentValue* value : {&created, &cleared}) {
      std::string held(value->bytes(), static_cast<size_t>(length) + 1);
      EXPECT_EQ(held.substr(0, std::min<size_t>(length, 13)), seconds.substr(0, std::min<size_t>(length, 13)));
      if (length >= 16) {
        EXPECT_EQ(held.find_first_not_of("0123456789"), 16u);
      }
      EXPECT_EQ(held.back(), '\0');
    }
  }
}

TEST(CurrentValueTest, KeyDataClearHidesValuesUntilTheyAreSetAgain) {
  attrInfoList list(nullptr, "GRP", "SRC", 'K', 60, "@K,D,4, , ;V,C,4, , ;", 0);
  ASSERT_EQ(list.errors(), 0);
  ASSERT_EQ(list.setValue("K", 0x11, "key1", 4), 0);
  ASSERT_EQ(list.setValue("V", 0x11, host32(7).data(), 4), 0);
  EXPECT_EQ(list.clearValues(), 0);
  const attrInfoEntry* key = list.attributes().head();
  const attrInfoEntry* counter = list.attributes().after(key);
  EXPECT_TRUE(key->valueIgnore());
  EXPECT_TRUE(counter->valueIgnore());
  EXPECT_EQ(holderOf(counter->value(), 4), host32(7));  // kept
  ASSERT_EQ(list.setValue("V", 0x11, host32(8).data(), 4), 0);
  EXPECT_FALSE(counter->valueIgnore());
  EXPECT_TRUE(key->valueIgnore());
}

TEST(CurrentValueTest, ListSetValueStoresTheControlFieldAndFindsExactNames) {
  attrInfoList list(nullptr, "GRP", "SRC", 'P', 60, "NAME,D,4, , ;", 0);
  EXPECT_EQ(list.cntlField(), 0x11);
  EXPECT_EQ(list.setValue("NAM", 0x01, "abcd", 4), 1);
  EXPECT_EQ(list.cntlField(), 0x01);
  EXPECT_EQ(list.setValue("NAMEX", 0x00, "abcd", 4), 1);
  EXPECT_EQ(list.setValue(nullptr, 0xFF, nullptr, 0), 1);
  EXPECT_EQ(list.cntlField(), 0xFF);
  EXPECT_EQ(list.setValue("NAME", 0x11, "wxyz", 4), 0);
  EXPECT_EQ(std::string(list.attributes().head()->value().bytes()), "wxyz");
}

}  // namespace
