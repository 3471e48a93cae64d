// A hostile peer for the tests of every port that takes input from outside: bytes
// spoiled from a list of valid records by a seeded generator, so that a spell sends
// the same bytes every time, and spells of them against a loopback port.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <random>
#include <string>
#include <vector>

// The largest payload a UDP datagram over IPv4 can carry.
constexpr size_t kLargestDatagram = 65507;

// The setting for a program under a hostile peer: a smaller quarantine than the address
// sanitizer's own, so that what its freed blocks hold does not read as growth; recent
// frees are still caught. It is well below the tests' growth limits (4 MB), for it fills
// while they measure: at 4 MB a host that kept nothing once grew 4,184 kB.
constexpr char kHostileRunSanitizerSettings[] = "ASAN_OPTIONS=quarantine_size_mb=1";

class HostileBytes {
 public:
  HostileBytes(unsigned seed, std::vector<std::string> validRecords);

  // Random bytes, fewer than `below` of them.
  std::string random(size_t below);
  // A valid record with a few bytes changed.
  std::string spoiled();
  // A valid record cut short (possibly to nothing).
  std::string truncated();
  // A valid record followed by random bytes up to `length` in all.
  std::string oversized(size_t length);
  // One of the kinds above, chosen at random; oversized ones stay within `longest`.
  std::string next(size_t longest = 4096);

  // A random number below `below` (0 when it is 0).
  size_t pick(size_t below);
  const std::vector<std::string>& validRecords() const { return valid_; }

 private:
  std::mt19937 random_;
  std::vector<std::string> valid_;
};

// What a stream spell came to: connections that were made, and those the server
// closed or reset while the spell wrote to them.
struct StreamSpellResult {
  int connected = 0;
  int closedByServer = 0;
};

// `connections` TCP connections to 127.0.0.1:port one after another, each sent
// `recordsEach` records of the generator and closed; nothing is read.
StreamSpellResult StreamSpell(unsigned short port, HostileBytes& bytes, int connections, int recordsEach);

// `count` TCP connections opened one after another and dropped unread by a reset; the
// number that the kernel made.
int OpenAndDropConnections(unsigned short port, int count);

// One datagram to 127.0.0.1:port; false when the kernel did not take it.
bool SendDatagram(unsigned short port, const std::string& bytes);
// `count` datagrams of the generator, then one of 0 bytes and one of kLargestDatagram
// bytes; the number the kernel took.
int DatagramSpell(unsigned short port, HostileBytes& bytes, int count);

// A slow trickle at a datagram port: `count` datagrams of one random byte each, one
// every `interval` (the test's stand-in for a second); the number the kernel took.
int DatagramTrickle(unsigned short port, HostileBytes& bytes, int count, std::chrono::milliseconds interval);

// A peer that sends a record one byte at a time at an interval the test chooses (a
// byte a second in the wild; milliseconds in a test), over one connection it holds
// until it goes. The test steps it while it checks that others are served.
class TricklingPeer {
 public:
  TricklingPeer(unsigned short port, std::string bytes);
  ~TricklingPeer();
  TricklingPeer(const TricklingPeer&) = delete;
  TricklingPeer& operator=(const TricklingPeer&) = delete;

  bool connected() const { return socket_ >= 0; }
  // Sends the next byte; false once all are sent or the server closed the connection.
  bool step();
  // Steps every `interval` until all are sent or the server closed; the bytes sent.
  size_t trickle(std::chrono::milliseconds interval);
  size_t sent() const { return sent_; }
  // True when the server has closed or reset the connection.
  bool closedByServer();

 private:
  int socket_ = -1;
  std::string bytes_;
  size_t sent_ = 0;
  bool closed_ = false;
};
