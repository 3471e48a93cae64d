// One probing run over the raw socket: the echoes of its current batch, and what
// each received datagram does to the network's records. Only an echo reply to an
// echo of the run (its identifier, the batch's sequence, from the host it was sent
// to) counts; any other echo reply is recorded for the network as a whole (slot
// 0) and never counted. A destination-unreachable that quotes an echo of the run
// marks its host 'U'.
#pragma once

#include <bitset>
#include <cstdint>

#include "icmp_echo.h"

struct NetworkEntry;

namespace zevs {

class ProbeRun {
 public:
  ProbeRun(NetworkEntry* network, NetworkEntry* second, bool wholeNetwork, uint16_t identifierBase);

  // The identifier of the echo to the host index.
  uint16_t IdentifierOf(int32_t index) const { return static_cast<uint16_t>(identifierBase_ + index); }
  // A new batch, whose echoes carry the sequence number.
  void StartBatch(uint16_t sequence);
  // An echo of the batch went to the host index.
  void Asked(int32_t index);
  // Takes one datagram read at receiveTime (milliseconds of MillisecondClock).
  void Take(const IcmpReading& reading, uint32_t receiveTime);

  bool wholeNetwork() const { return wholeNetwork_; }
  uint32_t base() const { return base_; }
  // The hosts that answered, over the whole run.
  int count() const { return count_; }
  // Echoes of the batch still unanswered.
  int32_t pending() const { return pending_; }

 private:
  int32_t OwnHost(const IcmpReading& reading, uint32_t from) const;

  NetworkEntry* network_;
  NetworkEntry* second_;
  bool wholeNetwork_;
  uint32_t base_;  // the network address, host order
  uint16_t identifierBase_;
  uint16_t sequence_ = 0;
  int32_t singleHost_ = -1;      // the host index of a one-host run
  std::bitset<256> asked_;       // host indexes of the batch (whole network)
  std::bitset<256> answered_;    // over the run (whole network)
  int count_ = 0;
  int32_t pending_ = 0;
};

}  // namespace zevs
