#include "icmp_probe_run.h"

#include <arpa/inet.h>

#include <string>

#include "icmp_probing.h"
#include "icmp_trace.h"
#include "manager_routines.h"
#include "network_masks.h"
#include "response_times.h"
#include "trc1.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace {

std::string Dotted(uint32_t hostOrder) { return zevs::DottedAddress(htonl(hostOrder)); }

}  // namespace

namespace zevs {

ProbeRun::ProbeRun(NetworkEntry* network, NetworkEntry* second, bool wholeNetwork, uint16_t identifierBase)
    : network_(network),
      second_(second),
      wholeNetwork_(wholeNetwork),
      base_(ntohl(network->networkAddress)),
      identifierBase_(identifierBase) {}

void ProbeRun::StartBatch(uint16_t sequence) {
  sequence_ = sequence;
  asked_.reset();
  singleHost_ = -1;
  pending_ = 0;
}

void ProbeRun::Asked(int32_t index) {
  if (wholeNetwork_) {
    if (index < 1 || index > kLastProbedHost) return;
    asked_.set(static_cast<size_t>(index));
  } else {
    singleHost_ = index;
  }
  ++pending_;
}

int32_t ProbeRun::OwnHost(const IcmpReading& reading, uint32_t from) const {
  if (!reading.echoKnown || reading.sequence != sequence_) return -1;
  int32_t index = static_cast<uint16_t>(reading.identifier - identifierBase_);
  bool asked = wholeNetwork_ ? index >= 1 && index <= kLastProbedHost && asked_.test(static_cast<size_t>(index))
                             : index == singleHost_;
  if (!asked || ntohl(from) != base_ + static_cast<uint32_t>(index)) return -1;
  return index;
}

void ProbeRun::Take(const IcmpReading& reading, uint32_t receiveTime) {
  if (reading.type == kIcmpEchoReply) {
    uint32_t milliseconds = receiveTime - reading.sendTime;
    int32_t index = OwnHost(reading, reading.source);
    if (index < 0) {
      ZEVS_UpdateResponseTimeStatus(network_, 0, milliseconds);
      return;
    }
    if (wholeNetwork_) {
      if (answered_.test(static_cast<size_t>(index))) return;  // a duplicate
      answered_.set(static_cast<size_t>(index));
    } else if (pending_ == 0) {
      return;
    }
    --pending_;
    ++count_;
    ZEVS_UpdateResponseTimeStatus(network_, index, milliseconds);
    uint32_t host = base_ + static_cast<uint32_t>(index);
    if (second_ != nullptr && second_ != network_) {
      ZEVS_UpdateResponseTimeStatus(second_, static_cast<int32_t>(host - ntohl(second_->networkAddress)),
                                    milliseconds);
    }
    ICMP_TRC(TRC_DETAIL, "Host %s response time is %d ms", Dotted(host).c_str(), static_cast<int>(milliseconds));
    if (wholeNetwork_) Routines().enqueuePlovenDiscoveryRequest(Dotted(host).c_str());
  } else if (reading.type == kIcmpUnreachable) {
    int32_t index = OwnHost(reading, reading.quotedDestination);
    if (index < 0) return;
    BSV1_GetLock(&network_->lock);
    if (network_->nodeStatus != nullptr && index < network_->hostRange) network_->nodeStatus[index] = 'U';
    BSV1_ReleaseLock(&network_->lock);
    ICMP_TRC(TRC_DETAIL, "Node %s is unreachable %.2X", Dotted(base_ + static_cast<uint32_t>(index)).c_str(),
             reading.code);
  } else if (IsUnsupportedReplyType(reading.type)) {
    ICMP_TRC(TRC_ERROR, "Unsupported ICMP reply type %.2X", reading.type);
  }
}

}  // namespace zevs
