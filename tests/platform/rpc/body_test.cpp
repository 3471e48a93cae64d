// The body writer and the bounded body reader in each data representation.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "echo_interface.h"
#include "rpc_body.h"

namespace {

const rpc__drep_t kEveryDrep[] = {rpc__drep_big_endian_ascii, rpc__drep_little_endian, rpc__drep_ebcdic,
                                  rpc__drep_little_endian | rpc__drep_ebcdic};

EchoRecord SampleRecord() { return {"host[1]:^x", 0xA1B2C3D4, {0, 1, 0xFF, 0x80}, "FIXED_8!"}; }

TEST(RpcBody, RecordReadsBackInEveryRepresentation) {
  for (rpc__drep_t drep : kEveryDrep) {
    SCOPED_TRACE(static_cast<int>(drep));
    rpc::BodyWriter writer(drep);
    WriteEchoRecord(writer, SampleRecord());
    ASSERT_EQ(writer.fault(), rpc__s_ok);
    rpc::BodyReader reader(writer.bytes().data(), writer.bytes().size(), drep);
    EchoRecord read;
    ASSERT_TRUE(ReadEchoRecord(reader, &read));
    EXPECT_EQ(read.text, SampleRecord().text);
    EXPECT_EQ(read.number, SampleRecord().number);
    EXPECT_EQ(read.bytes, SampleRecord().bytes);
    EXPECT_EQ(read.fixed, SampleRecord().fixed);
    EXPECT_EQ(reader.remaining(), 0u);
  }
}

TEST(RpcBody, IntegersAndCharactersTakeTheRepresentationsForm) {
  struct Case {
    rpc__drep_t drep;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {rpc__drep_big_endian_ascii, {0x41, 0x00, 0x01, 0x02, 0x0A, 0x0B, 0x0C, 0x0D}},
      {rpc__drep_little_endian, {0x41, 0x00, 0x02, 0x01, 0x0D, 0x0C, 0x0B, 0x0A}},
      {rpc__drep_ebcdic, {0xC1, 0x00, 0x01, 0x02, 0x0A, 0x0B, 0x0C, 0x0D}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.drep));
    rpc::BodyWriter writer(c.drep);
    writer.putChars("A", 1);
    writer.align(2);  // counted from the body's start: one pad byte
    writer.putU16(0x0102);
    writer.align(4);  // at 4 already
    writer.putU32(0x0A0B0C0D);
    EXPECT_EQ(writer.bytes(), c.bytes);

    rpc::BodyReader reader(c.bytes.data(), c.bytes.size(), c.drep);
    char letter;
    reader.getChars(&letter, 1);
    reader.align(2);
    EXPECT_EQ(letter, 'A');
    EXPECT_EQ(reader.getU16(), 0x0102);
    reader.align(4);
    EXPECT_EQ(reader.getU32(), 0x0A0B0C0Du);
    EXPECT_EQ(reader.fault(), rpc__s_ok);
  }
}

TEST(RpcBody, CountedStringCarriesItsCountAndTerminator) {
  rpc::BodyWriter writer(rpc__drep_big_endian_ascii);
  writer.putU8(7);
  writer.putCountedString("abc", 3);
  writer.putCountedString("", 3);
  EXPECT_EQ(writer.bytes(), (std::vector<uint8_t>{7, 0, 0, 3, 'a', 'b', 'c', 0, 0, 0, 0}));
}

TEST(RpcBody, WriterKeepsItsFirstFaultAndWritesNothingAfter) {
  rpc::BodyWriter writer;
  writer.putCountedString("abcd", 3);
  EXPECT_EQ(writer.fault(), rpc__s_string_bound);
  writer.putU32(1);
  writer.fail(rpc__s_array_bound);
  EXPECT_EQ(writer.fault(), rpc__s_string_bound);
  EXPECT_TRUE(writer.bytes().empty());

  rpc::BodyWriter big;
  std::vector<uint8_t> bytes(rpc::kMaximumBody + 1);
  big.putBytes(bytes.data(), bytes.size());
  EXPECT_EQ(big.fault(), rpc__s_too_big);
}

// Every cut of a good body is a fault of the reader, never a read past the cut (the
// body lies in a buffer of exactly its length).
TEST(RpcBody, ReaderFaultsOnEveryCutBody) {
  for (rpc__drep_t drep : kEveryDrep) {
    rpc::BodyWriter writer(drep);
    WriteEchoRecord(writer, SampleRecord());
    for (size_t length = 0; length < writer.bytes().size(); ++length) {
      SCOPED_TRACE(length);
      std::vector<uint8_t> cut(writer.bytes().begin(), writer.bytes().begin() + length);
      rpc::BodyReader reader(cut.data(), cut.size(), drep);
      EchoRecord read;
      EXPECT_FALSE(ReadEchoRecord(reader, &read));
      EXPECT_EQ(reader.fault(), rpc__s_bad_body);
    }
  }
}

TEST(RpcBody, BoundsThatDoNotHoldAreFaults) {
  struct Case {
    const char* name;
    std::vector<uint8_t> body;
    rpc__status_t fault;
  } cases[] = {
      // A text count of 33 against the bound 32.
      {"text over its bound", {0, 33}, rpc__s_string_bound},
      // A count above its maximum.
      {"count over its maximum", {0, 0, 0, 0, 0, 0, 0, 1, 0, 4, 0, 5}, rpc__s_array_bound},
      // A count within its maximum but above what the record holds.
      {"count over the record", {0, 0, 0, 0, 0, 0, 0, 1, 0, 65, 0, 65}, rpc__s_array_bound},
      // A text whose count runs past the body.
      {"text past the body", {0, 5, 'a', 'b'}, rpc__s_bad_body},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rpc::BodyReader reader(c.body.data(), c.body.size(), rpc__drep_big_endian_ascii);
    EchoRecord read;
    EXPECT_FALSE(ReadEchoRecord(reader, &read));
    EXPECT_EQ(reader.fault(), c.fault);
  }
}

}  // namespace
