// SNMPv1 requests as sent, byte for byte, and the checks of received GetResponses:
// each refusal with its trace, and hostile datagrams refused without a read past
// their end.
#include "snmp_pdu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "snmp_messages.h"
#include "trace_capture.h"

namespace {

using Bytes = std::vector<unsigned char>;

const Bytes kSysDescrOID = {0x06, 0x08, 0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x01, 0x00};

Bytes Built(int type, int32_t id, const Bytes& value = {}, const char* community = "public") {
  char buffer[ZEVP_SNMP_BUFFER_SIZE];
  std::memset(buffer, 0x5A, sizeof buffer);
  int32_t length = ZEVP_SNMPconstructPDUbuffer(
      buffer, sizeof buffer, type, reinterpret_cast<const char*>(kSysDescrOID.data()),
      static_cast<int32_t>(kSysDescrOID.size()), value.empty() ? nullptr : reinterpret_cast<const char*>(value.data()),
      static_cast<int32_t>(value.size()), id, community);
  EXPECT_EQ(buffer[length], 0) << "the rest of the buffer is cleared";
  return Bytes(buffer, buffer + length);
}

TEST(SnmpRequestTest, AGetOfSysDescrIsSentAsWritten) {
  EXPECT_EQ(Built(ZEVP_SNMP_GET_REQUEST, 1),
            (Bytes{0x30, 0x26, 0x02, 0x01, 0x00, 0x04, 0x06, 0x70, 0x75, 0x62, 0x6C, 0x69, 0x63, 0xA0, 0x19,
                   0x02, 0x01, 0x01, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x0E, 0x30, 0x0C, 0x06, 0x08,
                   0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x01, 0x00, 0x05, 0x00}));
}

TEST(SnmpRequestTest, RequestIDsTakeTheFewestBytesAndASetCarriesItsValueUnchanged) {
  const struct {
    int32_t id;
    Bytes field;
  } ids[] = {{1, {0x02, 0x01, 0x01}}, {200, {0x02, 0x02, 0x00, 0xC8}}, {40000, {0x02, 0x03, 0x00, 0x9C, 0x40}}};
  for (const auto& c : ids) {
    Bytes sent = Built(ZEVP_SNMP_GETNEXT_REQUEST, c.id);
    EXPECT_EQ(sent[13], ZEVP_SNMP_GETNEXT_REQUEST);
    EXPECT_EQ(Bytes(sent.begin() + 15, sent.begin() + 15 + c.field.size()), c.field) << c.id;
    SnmpReply reply = ParsedRequest(sent);
    EXPECT_EQ(reply.id, c.id);
  }
  const Bytes value = {0x04, 0x03, 'a', 0x00, 'b'};
  Bytes set = Built(ZEVP_SNMP_SET_REQUEST, 7, value, "private");
  EXPECT_EQ(Bytes(set.end() - static_cast<long>(value.size()), set.end()), value);
  EXPECT_EQ(set[14], ZEVP_SNMP_SET_REQUEST);
}

TEST(SnmpRequestTest, ARequestThatWouldNotFitIsNotBuilt) {
  std::string community(1560, 'c');
  char buffer[ZEVP_SNMP_BUFFER_SIZE];
  auto build = [&](const std::string& text) {
    return ZEVP_SNMPconstructPDUbuffer(buffer, sizeof buffer, ZEVP_SNMP_GET_REQUEST,
                                       reinterpret_cast<const char*>(kSysDescrOID.data()),
                                       static_cast<int32_t>(kSysDescrOID.size()), nullptr, 0, 1, text.c_str());
  };
  int32_t fits = build(community);
  EXPECT_GT(fits, 1560);
  community.append(ZEVP_SNMP_BUFFER_SIZE - static_cast<size_t>(fits) + 1, 'c');
  EXPECT_EQ(build(community), 0);
  Bytes huge(2000, 0x04);
  EXPECT_EQ(ZEVP_SNMPconstructPDUbuffer(buffer, sizeof buffer, ZEVP_SNMP_SET_REQUEST,
                                        reinterpret_cast<const char*>(kSysDescrOID.data()),
                                        static_cast<int32_t>(kSysDescrOID.size()),
                                        reinterpret_cast<const char*>(huge.data()), 2000, 1, "public"),
            0);
}

struct Verified {
  char* varBinds = nullptr;
  uint32_t varBindsLength = 0;
  int32_t status = -1;
  int32_t index = -1;
  int32_t received = -1;
  std::string trace;
};

Verified Verify(Bytes message, int32_t expected) {
  TraceCapture capture("*=0x80");
  Verified v;
  // The datagram in a buffer of its own size: ASan sees any read past it.
  std::vector<char> exact(message.begin(), message.end());
  v.varBinds = ZEVP_SNMPverifyResponsePDU(exact.data(), static_cast<uint32_t>(exact.size()), expected, &v.status,
                                          &v.index, &v.received, &v.varBindsLength);
  if (v.varBinds != nullptr) v.varBinds = reinterpret_cast<char*>(v.varBinds - exact.data());  // an offset
  v.trace = capture.take();
  return v;
}

TEST(SnmpResponseCheckTest, AGetResponseGivesItsFirstVarBind) {
  Bytes reply = ResponseBytes({9, 0, 0, "public", {VarBindBytes(kSysDescrOID, {0x04, 0x02, 'o', 'k'})}});
  Verified v = Verify(reply, 9);
  ASSERT_NE(v.varBinds, nullptr) << v.trace;
  EXPECT_EQ(v.status, 0);
  EXPECT_EQ(v.received, 9);
  EXPECT_EQ(v.varBindsLength, 16u);
  EXPECT_EQ(reply[reinterpret_cast<size_t>(v.varBinds)], 0x30);
  EXPECT_EQ(reinterpret_cast<size_t>(v.varBinds) + v.varBindsLength, reply.size());
}

TEST(SnmpResponseCheckTest, WhatIsNotTheAwaitedGetResponseIsRefusedWithItsReason) {
  const Bytes good = ResponseBytes({9, 0, 0, "public", {VarBindBytes(kSysDescrOID, {0x05, 0x00})}});
  auto withByte = [&](size_t at, unsigned char value) {
    Bytes changed = good;
    changed[at] = value;
    return changed;
  };
  // Offsets in `good`: 2 version, 5 community, 13 PDU tag, 15 request ID, 18 status, 21 index, 24 VarBinds.
  const struct {
    const char* what;
    Bytes message;
    int32_t status;
    int32_t received;
    const char* trace;
  } cases[] = {
      {"version 1", withByte(4, 1), -1, -1, "*****unsupported SNMP response protocol version 1"},
      {"a version that is no INTEGER", withByte(2, 0x04), -1, -1,
       "*****unexpected PDU response format - version number"},
      {"a trap", withByte(13, ZEVP_SNMP_TRAP), -1, -1, "*****Message received is not SNMP Get response"},
      {"a request", withByte(13, ZEVP_SNMP_GET_REQUEST), -1, -1, "*****Message received is not SNMP Get response"},
      {"not a SEQUENCE", withByte(0, 0x31), -1, -1, "*****unexpected PDU response format - begin sequence"},
      {"an error-status", ResponseBytes({9, 2, 1, "public", {VarBindBytes(kSysDescrOID, {0x05, 0x00})}}), 2, 9,
       "PDU response status received 2"},
      {"an older request ID", ResponseBytes({8, 0, 0, "public", {}}), -1, 8, ""},
      {"a request ID that is no INTEGER", withByte(15, 0x04), -1, -1,
       "*****unexpected PDU response format - request ID"},
      {"an error-status that is no INTEGER", withByte(18, 0x04), -1, 9,
       "*****unexpected PDU response format - error status"},
      {"an error-index that is no INTEGER", withByte(21, 0x04), 0, 9,
       "*****unexpected PDU response format - error index"},
      {"VarBinds that are no SEQUENCE", withByte(24, 0x31), 0, 9,
       "*****unexpected PDU response format - begin VarBind sequence"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Verified v = Verify(c.message, 9);
    EXPECT_EQ(v.varBinds, nullptr);
    EXPECT_EQ(v.received, c.received);
    if (c.status != -1) {
      EXPECT_EQ(v.status, c.status);
    }
    EXPECT_NE(v.trace.find(c.trace), std::string::npos) << v.trace;
  }
}

TEST(SnmpResponseCheckTest, HostileDatagramsAreRefusedWithinTheirBytes) {
  const Bytes good = ResponseBytes({9, 0, 0, "public", {VarBindBytes(kSysDescrOID, {0x04, 0x02, 'o', 'k'})}});
  Bytes huge = {0x30, 0x84, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x01, 0x00};
  Bytes indefinite = good;
  indefinite[1] = 0x80;
  // The VarBind list claims more than its PDU holds.
  Bytes overrun = good;
  overrun[25] = static_cast<unsigned char>(overrun[25] + 6);
  overrun.insert(overrun.end(), 6, 0x00);
  overrun[1] = static_cast<unsigned char>(overrun[1] + 6);
  Bytes longOID = {0x06, 0x81, 0xC8};
  longOID.insert(longOID.end(), 200, 0x01);
  Bytes oidReply = ResponseBytes({9, 0, 0, "public", {VarBindBytes(longOID, {0x05, 0x00})}});
  const struct {
    const char* what;
    Bytes message;
  } cases[] = {
      {"cut in the middle", Bytes(good.begin(), good.begin() + 20)},
      {"cut at the first byte", Bytes(good.begin(), good.begin() + 1)},
      {"empty", {}},
      {"a length of 0x84 FF FF FF FF", huge},
      {"an indefinite length", indefinite},
      {"a VarBind list past its PDU", overrun},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Verify(c.message, 9).varBinds, nullptr);
  }
  // An OID of 200 elements passes the message checks; its VarBind is read within bounds.
  Verified v = Verify(oidReply, 9);
  ASSERT_NE(v.varBinds, nullptr);
  std::vector<char> exact(oidReply.begin(), oidReply.end());
  SNMPvarBind fields{};
  EXPECT_EQ(ZEVP_ReadVarBind(exact.data() + reinterpret_cast<size_t>(v.varBinds), v.varBindsLength, &fields), 0x05);
  EXPECT_EQ(fields.oidFieldLength, longOID.size());
}

TEST(SnmpResponseCheckTest, AVarBindIsASequenceOfAnOIDAndAValueWithinIt) {
  const struct {
    const char* what;
    Bytes varBinds;
    int tag;
    const char* trace;
  } cases[] = {
      {"whole", VarBindBytes(kSysDescrOID, {0x43, 0x01, 0x07}), 0x43, ""},
      {"no SEQUENCE", {0x31, 0x02, 0x05, 0x00}, 0, "*****unexpected VarBind format - begin must be SEQUENCE"},
      {"no OID", {0x30, 0x04, 0x04, 0x00, 0x05, 0x00}, 0, "*****unexpected VarBind format - OID"},
      {"no value", {0x30, 0x03, 0x06, 0x01, 0x2B}, 0, "*****unexpected VarBind format - value"},
      {"a value past the VarBind", {0x30, 0x05, 0x06, 0x01, 0x2B, 0x04, 0x02, 'a', 'b'}, 0,
       "*****unexpected VarBind format - value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TraceCapture capture("*=0x80");
    std::vector<char> exact(c.varBinds.begin(), c.varBinds.end());
    SNMPvarBind fields{};
    EXPECT_EQ(ZEVP_ReadVarBind(exact.data(), static_cast<uint32_t>(exact.size()), &fields), c.tag);
    std::string trace = capture.take();
    EXPECT_NE(trace.find(c.trace), std::string::npos) << trace;
  }
}

}  // namespace
