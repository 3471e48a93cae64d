// The ICMP echo as the SNMP data provider and the ICMP daemon zevsnetd both build
// and read it (docs/icmp-daemon-protocol.md): the echo request, its checksum, the
// identifier base, the millisecond clock, and the reader of received datagrams.
// Only the C library is used here, so that the daemon links nothing of ours
// beyond this.
#pragma once

#include <signal.h>
#include <sys/time.h>

#include <cstddef>
#include <cstdint>

// The ones' complement sum of the first `words` big-endian 16-bit words, folded
// and complemented.
uint16_t ZEVS_ComputeIpCheckSum(const void* buffer, int32_t words);

namespace zevs {

// The echo request's fixed part: type, code, checksum, identifier, sequence, send
// time; the text follows at byte 12.
constexpr size_t kEchoHeaderLength = 12;
constexpr uint8_t kIcmpEchoReply = 0;
constexpr uint8_t kIcmpUnreachable = 3;
constexpr uint8_t kIcmpEchoRequest = 8;

// Milliseconds of the system clock (seconds × 1000 + microseconds / 1000), wrapping in 32 bits.
uint32_t MillisecondClock();

// Builds the message into buffer (size bytes): fresh, the whole message (for type
// 8 with the send time and the text at byte 12); reused, only the identifier and
// the checksum change. The length: 8 for other types, 14 + the text's length for
// type 8; 0 when it does not fit.
int32_t BuildIcmpMessage(uint8_t* buffer, size_t size, bool reuse, uint8_t type, uint8_t code, uint16_t identifier,
                         uint16_t sequence, uint32_t sendTime, const char* text);

// A 16-bit identifier base drawn from the seed: (rand & 0x7FFF) × 65535 / 32767.
uint16_t DrawIdentifierBase(unsigned int seed);

// What a received datagram (an IP packet with its header) carries.
struct IcmpReading {
  uint32_t source;  // the IP source, network byte order
  uint8_t type;
  uint8_t code;
  // For an echo reply its own fields; for an error that quotes an echo request of
  // ours (destination unreachable and the like), the quoted request's, with
  // `quotedDestination` its destination. echoKnown is false when neither applies.
  bool echoKnown;
  uint16_t identifier;
  uint16_t sequence;
  uint32_t sendTime;           // echo replies of 12 bytes or more; else 0
  uint32_t quotedDestination;  // network byte order; 0 for an echo reply
};

// Error types that a probe reports as unsupported replies: source quench,
// redirect, time exceeded, parameter problem, timestamp and address-mask replies.
bool IsUnsupportedReplyType(uint8_t type);

// Reads the datagram of length bytes: false when it is no IPv4 packet carrying an
// ICMP message of 8 bytes or more within the bytes received. The IP header is
// taken at the length its header-length field gives.
bool ReadIcmpDatagram(const uint8_t* datagram, size_t length, IcmpReading* reading);

// Microseconds of a clock that never steps back.
int64_t SteadyMicroseconds();
int64_t Microseconds(const timeval& time);

// Waits until the descriptor is readable (true) or the deadline (SteadyMicroseconds)
// has passed (false). With a signal mask, the wait runs under it (pselect) and a
// signal ends it (false), so that a signal blocked outside the wait cannot be lost.
bool ReadableBefore(int descriptor, int64_t deadline, const sigset_t* signalMask = nullptr);

// The reply wait of a probe from the caller's wait in milliseconds: seconds =
// W / 1000, or W milliseconds when under a second, 1 second when W is 0 or less;
// through the daemon both parts are raised by half, and the wait is at least the
// daemon's echo wait for W and a quarter second.
timeval ProbeReplyWait(int32_t waitMs, bool throughDaemon);

// The daemon's echo wait for a request's wait in milliseconds: four fifths of it,
// at most a second (and a second for a wait of 0 or less).
timeval DaemonEchoWait(int32_t waitMs);

}  // namespace zevs
