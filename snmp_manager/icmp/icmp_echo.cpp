#include "icmp_echo.h"

#include <sys/select.h>
#include <time.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

void PutBigEndian16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value >> 8);
  at[1] = static_cast<uint8_t>(value);
}

uint16_t BigEndian16(const uint8_t* at) { return static_cast<uint16_t>((at[0] << 8) | at[1]); }

uint32_t BigEndian32(const uint8_t* at) {
  return (static_cast<uint32_t>(at[0]) << 24) | (static_cast<uint32_t>(at[1]) << 16) |
         (static_cast<uint32_t>(at[2]) << 8) | at[3];
}

// The address at `at` as it stands in the packet: network byte order in memory.
uint32_t NetworkOrder32(const uint8_t* at) {
  uint32_t value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

constexpr size_t kIcmpHeaderLength = 8;
constexpr size_t kMinimumIpHeader = 20;
constexpr uint8_t kProtocolIcmp = 1;
constexpr int64_t kDaemonReplyMargin = 250000;  // microseconds

// The IP header's length from its first byte, or 0 when it is no IPv4 header.
size_t IpHeaderLength(const uint8_t* packet, size_t length) {
  if (length < kMinimumIpHeader || (packet[0] >> 4) != 4) return 0;
  size_t header = static_cast<size_t>(packet[0] & 0x0F) * 4;
  return header < kMinimumIpHeader || header > length ? 0 : header;
}

// An error message quotes the IP header and the first 8 bytes of the datagram it
// is about: when that is an echo request, its identifier and sequence count.
void ReadQuotedEcho(const uint8_t* quoted, size_t length, zevs::IcmpReading* reading) {
  size_t header = IpHeaderLength(quoted, length);
  if (header == 0 || quoted[9] != kProtocolIcmp || length - header < kIcmpHeaderLength) return;
  const uint8_t* echo = quoted + header;
  if (echo[0] != zevs::kIcmpEchoRequest) return;
  reading->echoKnown = true;
  reading->identifier = BigEndian16(echo + 4);
  reading->sequence = BigEndian16(echo + 6);
  reading->quotedDestination = NetworkOrder32(quoted + 16);
}

bool QuotesDatagram(uint8_t type) { return type == 3 || type == 4 || type == 5 || type == 11 || type == 12; }

}  // namespace

uint16_t ZEVS_ComputeIpCheckSum(const void* buffer, int32_t words) {
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  uint32_t sum = 0;
  for (int32_t i = 0; i < words; ++i) sum += BigEndian16(bytes + 2 * i);
  sum = (sum >> 16) + (sum & 0xFFFF);
  sum += sum >> 16;
  return static_cast<uint16_t>(~sum);
}

namespace zevs {

uint32_t MillisecondClock() {
  timeval now{};
  gettimeofday(&now, nullptr);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_usec) / 1000u);
}

int32_t BuildIcmpMessage(uint8_t* buffer, size_t size, bool reuse, uint8_t type, uint8_t code, uint16_t identifier,
                         uint16_t sequence, uint32_t sendTime, const char* text) {
  size_t textLength = (type == kIcmpEchoRequest && text != nullptr) ? std::strlen(text) : 0;
  size_t length = type == kIcmpEchoRequest ? kEchoHeaderLength + 2 + textLength : kIcmpHeaderLength;
  if (buffer == nullptr || length > size) return 0;
  if (!reuse) {
    std::memset(buffer, 0, length);
    buffer[0] = type;
    buffer[1] = code;
    PutBigEndian16(buffer + 6, sequence);
    if (type == kIcmpEchoRequest) {
      for (int shift = 24, i = 8; shift >= 0; shift -= 8, ++i) buffer[i] = static_cast<uint8_t>(sendTime >> shift);
      std::memcpy(buffer + kEchoHeaderLength, text, textLength);
    }
  }
  PutBigEndian16(buffer + 2, 0);
  PutBigEndian16(buffer + 4, identifier);
  PutBigEndian16(buffer + 2, ZEVS_ComputeIpCheckSum(buffer, static_cast<int32_t>(length / 2)));
  return static_cast<int32_t>(length);
}

uint16_t DrawIdentifierBase(unsigned int seed) {
  // 16 bits from the start: rand() × 65535 overflows an int with a 31-bit RAND_MAX.
  auto drawn = static_cast<uint32_t>(rand_r(&seed)) & 0x7FFFu;
  return static_cast<uint16_t>(drawn * 65535u / 32767u);
}

bool IsUnsupportedReplyType(uint8_t type) {
  return type == 4 || type == 5 || type == 11 || type == 12 || type == 14 || type == 18;
}

bool ReadIcmpDatagram(const uint8_t* datagram, size_t length, IcmpReading* reading) {
  size_t header = datagram == nullptr ? 0 : IpHeaderLength(datagram, length);
  if (header == 0 || datagram[9] != kProtocolIcmp || length - header < kIcmpHeaderLength) return false;
  const uint8_t* icmp = datagram + header;
  size_t icmpLength = length - header;
  *reading = IcmpReading{};
  reading->source = NetworkOrder32(datagram + 12);
  reading->type = icmp[0];
  reading->code = icmp[1];
  if (reading->type == kIcmpEchoReply) {
    reading->echoKnown = true;
    reading->identifier = BigEndian16(icmp + 4);
    reading->sequence = BigEndian16(icmp + 6);
    if (icmpLength >= kEchoHeaderLength) reading->sendTime = BigEndian32(icmp + 8);
  } else if (QuotesDatagram(reading->type)) {
    ReadQuotedEcho(icmp + kIcmpHeaderLength, icmpLength - kIcmpHeaderLength, reading);
  }
  return true;
}

int64_t SteadyMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

int64_t Microseconds(const timeval& time) { return static_cast<int64_t>(time.tv_sec) * 1000000 + time.tv_usec; }

bool ReadableBefore(int descriptor, int64_t deadline, const sigset_t* signalMask) {
  for (;;) {
    int64_t left = deadline - SteadyMicroseconds();
    if (left <= 0) return false;
    timespec wait{static_cast<time_t>(left / 1000000), static_cast<long>(left % 1000000) * 1000};
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(descriptor, &readable);
    int ready = pselect(descriptor + 1, &readable, nullptr, nullptr, &wait, signalMask);
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR || signalMask != nullptr) return false;
  }
}

timeval DaemonEchoWait(int32_t waitMs) {
  int64_t fourFifths = (waitMs <= 0 ? 1000 : static_cast<int64_t>(waitMs)) * 4 / 5;
  if (fourFifths > 1000) fourFifths = 1000;
  timeval wait{};
  wait.tv_sec = static_cast<time_t>(fourFifths / 1000);
  wait.tv_usec = static_cast<suseconds_t>((fourFifths % 1000) * 1000);
  return wait;
}

timeval ProbeReplyWait(int32_t waitMs, bool throughDaemon) {
  timeval wait{};
  if (waitMs <= 0) {
    wait.tv_sec = 1;
  } else {
    wait.tv_sec = waitMs / 1000;
    if (wait.tv_sec == 0) wait.tv_usec = static_cast<suseconds_t>(waitMs) * 1000;
  }
  if (throughDaemon) {
    wait.tv_sec += wait.tv_sec / 2;
    wait.tv_usec += wait.tv_usec / 2;
    // Raised by half in whole seconds, 1 s stays 1 s: never shorter than the
    // daemon's own echo wait and a margin for its reply.
    int64_t least = Microseconds(DaemonEchoWait(waitMs)) + kDaemonReplyMargin;
    if (Microseconds(wait) < least) {
      wait = timeval{static_cast<time_t>(least / 1000000), static_cast<suseconds_t>(least % 1000000)};
    }
  }
  return wait;
}

}  // namespace zevs
