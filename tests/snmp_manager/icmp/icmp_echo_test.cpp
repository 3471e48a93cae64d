// The ICMP echo and the daemon's datagrams in process: the echo's bytes, its
// checksum, the identifier base, the waits, the reader of received datagrams with
// what each does to a probing run, and the daemon's requests and replies.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "icmp_daemon_wire.h"
#include "icmp_echo.h"
#include "icmp_probe_run.h"
#include "icmp_probing.h"
#include "icmp_test_network.h"
#include "response_times.h"
#include "zev0/storage.h"

namespace {

using Bytes = IcmpBytes;

Bytes BytesOf(const char* buffer, int32_t length) { return Bytes(buffer, buffer + length); }

TEST(IcmpEchoTest, TheChecksumFoldsTheCarryTwice) {
  const uint8_t words[] = {0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7};
  EXPECT_EQ(ZEVS_ComputeIpCheckSum(words, 4), 0x220D);
  // A message with its checksum in place sums to zero.
  uint8_t echo[32];
  int32_t length = zevs::BuildIcmpMessage(echo, sizeof echo, false, 8, 0, 0x1234, 7, 0xA1B2C3D4u, "Ploven ");
  EXPECT_EQ(ZEVS_ComputeIpCheckSum(echo, length / 2), 0);
}

TEST(IcmpEchoTest, TheEchoRequestByteForByte) {
  uint8_t echo[32];
  std::memset(echo, 0xEE, sizeof echo);
  ASSERT_EQ(zevs::BuildIcmpMessage(echo, sizeof echo, false, 8, 0, 0x1234, 0x0102, 0xA1B2C3D4u, "Ploven "), 21);
  const Bytes expected = {0x08, 0x00, 0x00, 0x00, 0x12, 0x34, 0x01, 0x02, 0xA1, 0xB2, 0xC3, 0xD4, 'P', 'l',
                          'o',  'v',  'e',  'n',  ' ',  0x00, 0x00};
  Bytes built(echo, echo + 21);
  uint16_t checksum = static_cast<uint16_t>(built[2] << 8 | built[3]);
  built[2] = built[3] = 0;
  EXPECT_EQ(built, expected);
  Bytes zeroed = expected;
  EXPECT_EQ(checksum, ZEVS_ComputeIpCheckSum(zeroed.data(), 10));
  EXPECT_EQ(echo[21], 0xEE) << "nothing written past the message";

  // The daemon's text "Ploven" makes a 20-byte echo; other types are 8 bytes.
  EXPECT_EQ(zevs::BuildIcmpMessage(echo, sizeof echo, false, 8, 0, 1, 1, 0, "Ploven"), 20);
  EXPECT_EQ(zevs::BuildIcmpMessage(echo, sizeof echo, false, 13, 0, 1, 1, 0, "Ploven"), 8);
  EXPECT_EQ(zevs::BuildIcmpMessage(echo, 20, false, 8, 0, 1, 1, 0, "Ploven "), 0) << "does not fit";
}

TEST(IcmpEchoTest, TheDataProvidersBufferCountsItsSequenceAndReuseRewritesOnlyIdentifierAndChecksum) {
  char* buffer = nullptr;
  ASSERT_EQ(ZEVS_FormatICMPbuffer(&buffer, 1, 8, 0, 0x0100, zevs::kEchoRequestText), 21);
  ASSERT_NE(buffer, nullptr);
  Bytes fresh = BytesOf(buffer, 21);
  EXPECT_EQ(std::string(buffer + 12, 8), std::string("Ploven \0", 8));
  auto sequence = [](const Bytes& bytes) { return static_cast<uint16_t>(bytes[6] << 8 | bytes[7]); };

  ASSERT_EQ(ZEVS_FormatICMPbuffer(&buffer, 1, 8, 0, 0x0203, zevs::kEchoRequestText), 21);
  Bytes reused = BytesOf(buffer, 21);
  for (size_t i = 0; i < reused.size(); ++i) {
    if (i >= 2 && i < 6) continue;
    EXPECT_EQ(reused[i], fresh[i]) << "byte " << i;
  }
  EXPECT_EQ(reused[4], 0x02);
  EXPECT_EQ(reused[5], 0x03);
  EXPECT_EQ(ZEVS_ComputeIpCheckSum(buffer, 10), 0);

  ASSERT_EQ(ZEVS_FormatICMPbuffer(&buffer, 0, 8, 0, 0x0203, zevs::kEchoRequestText), 21);
  EXPECT_EQ(sequence(BytesOf(buffer, 21)), static_cast<uint16_t>(sequence(fresh) + 1)) << "a fresh build counts";
  ZEV0_FreeStorage(&buffer);
}

TEST(IcmpEchoTest, TheIdentifierBaseIsSixteenBitsAndVaries) {
  std::vector<uint16_t> bases;
  for (unsigned seed = 7; seed < 27; ++seed) {
    unsigned copy = seed;
    uint32_t drawn = static_cast<uint32_t>(rand_r(&copy)) & 0x7FFF;
    uint16_t base = zevs::DrawIdentifierBase(seed);
    EXPECT_EQ(base, drawn * 65535 / 32767);
    bases.push_back(base);
  }
  std::sort(bases.begin(), bases.end());
  EXPECT_GT(std::unique(bases.begin(), bases.end()) - bases.begin(), 15) << "bases spread over the range";
}

TEST(IcmpEchoTest, TheWaitsOfAProbe) {
  const struct {
    int32_t waitMs;
    long rawMicroseconds;
    long daemonMicroseconds;
    long echoMicroseconds;  // the daemon's echo wait for a request of that wait
  } cases[] = {
      {500, 500000, 750000, 400000},      {2500, 2000000, 3000000, 1000000}, {2000, 2000000, 3000000, 1000000},
      // Halves of whole seconds: 1 s stays 1 s, so the daemon's echo wait and a margin hold.
      {1000, 1000000, 1050000, 800000},   {1500, 1000000, 1250000, 1000000}, {0, 1000000, 1050000, 800000},
      {-5, 1000000, 1050000, 800000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.waitMs);
    EXPECT_EQ(zevs::Microseconds(zevs::ProbeReplyWait(c.waitMs, false)), c.rawMicroseconds);
    EXPECT_EQ(zevs::Microseconds(zevs::ProbeReplyWait(c.waitMs, true)), c.daemonMicroseconds);
    EXPECT_EQ(zevs::Microseconds(zevs::DaemonEchoWait(c.waitMs)), c.echoMicroseconds);
  }
}

TEST(IcmpEchoTest, TheReaderOfReceivedDatagrams) {
  const uint32_t host = inet_addr("10.77.0.3");
  const uint32_t ours = inet_addr("10.77.0.9");
  Bytes reply = IcmpMessage(0, 0, 0x1234, 0x0042, 0xA0B0C0D0u);
  Bytes quoted = IpPacket(ours, host, IcmpMessage(8, 0, 0x1234, 0x0042, 0));
  quoted.resize(28);  // the IP header and 8 bytes of the request, as an error quotes them
  Bytes quotedUdp = IpPacket(ours, host, Bytes(8, 0), 17);
  const struct {
    const char* name;
    Bytes datagram;
    bool read;
    uint8_t type;
    bool echoKnown;
    uint32_t sendTime;
    uint32_t quotedDestination;
  } cases[] = {
      {"an echo reply", IpPacket(host, ours, reply), true, 0, true, 0xA0B0C0D0u, 0},
      {"an echo reply behind IP options", IpPacket(host, ours, reply, 1, 2), true, 0, true, 0xA0B0C0D0u, 0},
      {"an echo reply of 8 bytes: no time", IpPacket(host, ours, Bytes(reply.begin(), reply.begin() + 8)), true, 0,
       true, 0, 0},
      {"unreachable quoting an echo", IpPacket(ours, ours, Concat(IcmpMessage(3, 1, 0, 0, 0, false), quoted)), true, 3,
       true, 0, host},
      {"unreachable quoting UDP", IpPacket(ours, ours, Concat(IcmpMessage(3, 3, 0, 0, 0, false), quotedUdp)), true, 3,
       false, 0, 0},
      {"time exceeded quoting an echo", IpPacket(ours, ours, Concat(IcmpMessage(11, 0, 0, 0, 0, false), quoted)),
       true, 11, true, 0, host},
      {"an echo request", IpPacket(host, ours, IcmpMessage(8, 0, 0x1234, 0x0042, 0)), true, 8, false, 0, 0},
      {"an ICMP message of 7 bytes", IpPacket(host, ours, Bytes(7, 0)), false, 0, false, 0, 0},
      {"only an IP header", IpPacket(host, ours, {}), false, 0, false, 0, 0},
      {"a header length beyond the datagram", Patched(IpPacket(host, ours, reply), 0, 0x4F), false, 0, false, 0, 0},
      {"a header length below 20 bytes", Patched(IpPacket(host, ours, reply), 0, 0x44), false, 0, false, 0, 0},
      {"no IPv4 packet", Patched(IpPacket(host, ours, reply), 0, 0x65), false, 0, false, 0, 0},
      {"not ICMP", IpPacket(host, ours, reply, 17), false, 0, false, 0, 0},
      {"nineteen bytes", Bytes(19, 0x45), false, 0, false, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    zevs::IcmpReading reading{};
    ASSERT_EQ(zevs::ReadIcmpDatagram(c.datagram.data(), c.datagram.size(), &reading), c.read);
    if (!c.read) continue;
    EXPECT_EQ(reading.type, c.type);
    EXPECT_EQ(reading.echoKnown, c.echoKnown);
    if (c.echoKnown) {
      EXPECT_EQ(reading.identifier, 0x1234);
      EXPECT_EQ(reading.sequence, 0x0042);
    }
    EXPECT_EQ(reading.sendTime, c.sendTime);
    EXPECT_EQ(reading.quotedDestination, c.quotedDestination);
  }
}

// A run over 10.77.0.0/29 whose batch asked hosts 1 … 6 with identifier base
// 0x1230 and sequence 0x42; each case feeds one datagram received at time 1000.
TEST(IcmpEchoTest, WhatEachDatagramDoesToAWholeNetworkRun) {
  const uint32_t self = inet_addr("10.77.0.9");
  auto from = [](int index) { return htonl(ntohl(inet_addr("10.77.0.0")) + static_cast<uint32_t>(index)); };
  auto unreachable = [&](int index, uint16_t identifier) {
    Bytes quoted = IpPacket(self, from(index), IcmpMessage(8, 0, identifier, 0x42, 0));
    quoted.resize(28);
    return IpPacket(self, self, Concat(IcmpMessage(3, 1, 0, 0, 0, false), quoted));
  };
  const struct {
    const char* name;
    Bytes datagram;
    int counted;
    int index;       // the host whose records change, -1 none
    char letter;     // its letter afterwards
    uint32_t slot0;  // the network-wide current time afterwards
  } cases[] = {
      {"the reply of host 3", IpPacket(from(3), self, IcmpMessage(0, 0, 0x1233, 0x42, 990)), 1, 3, 'A', 10},
      {"a foreign identifier: slot 0, not counted", IpPacket(from(3), self, IcmpMessage(0, 0, 0x7777, 0x42, 900)), 0,
       0, 'A', 100},
      {"another sequence: slot 0", IpPacket(from(3), self, IcmpMessage(0, 0, 0x1233, 0x43, 900)), 0, 0, 'A', 100},
      {"from another host: slot 0", IpPacket(from(4), self, IcmpMessage(0, 0, 0x1233, 0x42, 900)), 0, 0, 'A', 100},
      {"host 7 was not asked", IpPacket(from(7), self, IcmpMessage(0, 0, 0x1237, 0x42, 900)), 0, 0, 'A', 100},
      {"unreachable for host 5", unreachable(5, 0x1235), 0, 5, 'U', 0},
      {"unreachable for an echo not ours", unreachable(5, 0x4444), 0, -1, '0', 0},
      {"time exceeded", IpPacket(self, self, IcmpMessage(11, 0, 0, 0, 0, false)), 0, -1, '0', 0},
      {"an echo request", IpPacket(from(3), self, IcmpMessage(8, 0, 0x1233, 0x42, 900)), 0, -1, '0', 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestNetwork network("10.77.0.0", 7);
    zevs::ProbeRun run(network.entry(), nullptr, true, 0x1230);
    run.StartBatch(0x42);
    for (int index = 1; index <= 6; ++index) run.Asked(index);
    zevs::IcmpReading reading{};
    ASSERT_TRUE(zevs::ReadIcmpDatagram(c.datagram.data(), c.datagram.size(), &reading));
    run.Take(reading, 1000);
    EXPECT_EQ(run.count(), c.counted);
    EXPECT_EQ(run.pending(), 6 - c.counted);
    for (int index = 0; index < 7; ++index) {
      EXPECT_EQ(network.letter(index), index == c.index ? c.letter : '0') << "host " << index;
    }
    EXPECT_EQ(network.entry()->currentResponseTimes[0], c.slot0);
    if (c.counted == 1) {
      EXPECT_EQ(network.entry()->currentResponseTimes[3], 10u);
    }
    // The same reply again is no second answer.
    run.Take(reading, 1000);
    EXPECT_EQ(run.count(), c.counted);
  }
}

TEST(IcmpEchoTest, AOneHostRunCountsItsHostAtAnyIndexAndRecordsTheSecondNetwork) {
  TestNetwork wide("10.77.0.0", 65535);
  TestNetwork own("10.77.1.0", 255);
  zevs::ProbeRun run(wide.entry(), own.entry(), false, 0xFF00);
  run.StartBatch(9);
  run.Asked(256 + 7);  // 10.77.1.7
  Bytes reply = IpPacket(inet_addr("10.77.1.7"), inet_addr("10.77.0.9"), IcmpMessage(0, 0, 0x0007, 9, 95));
  zevs::IcmpReading reading{};
  ASSERT_TRUE(zevs::ReadIcmpDatagram(reply.data(), reply.size(), &reading));
  run.Take(reading, 100);
  EXPECT_EQ(run.count(), 1) << "identifier 0xFF00 + 263 wraps to 7";
  EXPECT_EQ(wide.letter(0), 'A') << "an index past 254 records the network-wide slot";
  EXPECT_EQ(own.letter(7), 'A');
  EXPECT_EQ(own.entry()->currentResponseTimes[7], 5u);
}

TEST(IcmpEchoTest, ResponseTimesFollowEachReply) {
  TestNetwork network("10.77.0.0", 255);
  NetworkEntry* entry = network.entry();
  ZEVS_UpdateResponseTimeStatus(entry, 4, 30);
  ZEVS_UpdateResponseTimeStatus(entry, 4, 10);
  ZEVS_UpdateResponseTimeStatus(entry, 4, 20);
  EXPECT_EQ(network.letter(4), 'A');
  EXPECT_EQ(entry->seenHostCount, 1) << "newly seen once, when it left '0'";
  EXPECT_EQ(entry->minimumResponseTimes[4], 10u);
  EXPECT_EQ(entry->currentResponseTimes[4], 20u);
  EXPECT_EQ(entry->maximumResponseTimes[4], 30u);
  EXPECT_EQ(entry->currentResponseTimes[0], 20u) << "the network's current time";

  const struct {
    int32_t index;
    int32_t slot;
  } cases[] = {{255, 0}, {-1, 0}, {300, 0}, {0, 0}, {254, 254}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    ZEVS_UpdateResponseTimeStatus(entry, c.index, 77);
    EXPECT_EQ(entry->currentResponseTimes[c.slot], 77u);
  }
  EXPECT_EQ(entry->seenHostCount, 2) << "slot 0 is no host";

  TestNetwork small("10.77.0.0", 7);
  ZEVS_UpdateResponseTimeStatus(small.entry(), 7, 5);
  EXPECT_EQ(small.letter(0), 'A') << "an index not below the range counts as slot 0";
}

TEST(IcmpDaemonWireTest, RequestsAsTheDataProviderWritesAndTheDaemonReadsThem) {
  char area[zevs::kDaemonDatagramArea];
  ASSERT_EQ(zevs::FormatDaemonRequest(area, sizeof area, 7, "10.77.0.9", 1000, 0), 18u);
  EXPECT_STREQ(area, "7 10.77.0.9 1000 0");
  ASSERT_GT(zevs::FormatDaemonRequest(area, sizeof area, 8, "10.77.0.9", 0, 161), 0u);
  EXPECT_STREQ(area, "8 10.77.0.9 161") << "no wait token for a wait of 0";
  EXPECT_EQ(zevs::FormatDaemonRequest(area, 8, 7, "10.77.0.9", 1000, 0), 0u) << "does not fit";

  const struct {
    const char* text;
    bool parsed;
    const char* target;  // null: no valid address
    int32_t waitMs;
    uint16_t port;
    const char* reply;  // the area after WriteDaemonReply(-1)
  } cases[] = {
      {"7 10.77.0.9 1000 0", true, "10.77.0.9", 1000, 0, "7 -1"},
      {"5 0.0.0.0", true, "0.0.0.0", 1000, 0, "5 -1"},
      {"12 10.77.0.2 500 161", true, "10.77.0.2", 500, 161, "12 -1"},
      {"3 10.77.0.2", true, "10.77.0.2", 1000, 0, "3 -1"},
      {"3 10.77.0.2 x y", true, "10.77.0.2", 1000, 0, "3 -1"},
      {"3 10.77.0.2 99999999999 70000", true, "10.77.0.2", 1000, 4464, "3 -1"},
      {"3 host.example 500 0", true, nullptr, 500, 0, "3 -1"},
      {"3 255.255.255.2555 500 0", true, nullptr, 500, 0, "3 -1"},
      {"3  10.77.0.2", true, nullptr, 1000, 0, "3 -1"},
      {"42", false, nullptr, 0, 0, nullptr},
      {"", false, nullptr, 0, 0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    char request[zevs::kDaemonDatagramArea] = {};
    std::strcpy(request, c.text);
    zevs::DaemonRequest parsed{};
    ASSERT_EQ(zevs::ParseDaemonRequest(request, &parsed), c.parsed);
    if (!c.parsed) continue;
    EXPECT_EQ(parsed.targetValid, c.target != nullptr);
    if (c.target != nullptr) {
      EXPECT_EQ(parsed.target, inet_addr(c.target));
    }
    EXPECT_EQ(parsed.waitMs, c.waitMs);
    EXPECT_EQ(parsed.port, c.port);
    zevs::WriteDaemonReply(request, sizeof request, parsed, -1);
    EXPECT_STREQ(request, c.reply);
  }
}

TEST(IcmpDaemonWireTest, RepliesAsTheDataProviderReadsThem) {
  const struct {
    std::string text;
    bool parsed;
    int32_t sequence;
    int32_t milliseconds;
  } cases[] = {
      {"7 -1", true, 7, -1},         {"7 12", true, 7, 12},          {"5 0.0.0.0", false, 0, 0},
      {"7", false, 0, 0},            {"7 ", false, 0, 0},            {" 12", false, 0, 0},
      {"x 12", false, 0, 0},         {"7 12 trailing", true, 7, 12}, {"7 99999999999", false, 0, 0},
      {std::string("7 1\0 2", 6), true, 7, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    int32_t sequence = 0;
    int32_t milliseconds = 0;
    ASSERT_EQ(zevs::ParseDaemonReply(c.text.data(), c.text.size(), &sequence, &milliseconds), c.parsed);
    if (!c.parsed) continue;
    EXPECT_EQ(sequence, c.sequence);
    EXPECT_EQ(milliseconds, c.milliseconds);
  }
}

}  // namespace
