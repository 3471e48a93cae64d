// The periodic task's watch over socket partners: UDP partners that have sent
// nothing for their expiry time, and TCP partners whose host no longer answers,
// are disconnected and their sources taken offline.
#pragma once

#include <netinet/in.h>

#include <cstdint>

struct DPAB;
struct ProcessEntry;

// How a probe of a partner's address came out.
enum class PartnerProbe { Alive, Refused, Outage };

// How long a probe waits for its connect: a host that does not answer must not
// hold up the periodic task.
constexpr int ZEVP_PROBE_CONNECT_SECONDS = 3;

// A TCP connect to the address, bounded by ZEVP_PROBE_CONNECT_SECONDS.
PartnerProbe ZEVP_ProbePartnerAddress(const sockaddr_in& address);

// Disconnects every active UDP partner whose source is in Input and whose expiry
// time has come (DP log message 32); true when one was.
bool ZEVP_ExpireIdleUDPpartners(DPAB* anchor, ProcessEntry* caller, int64_t now);

// Probes every active TCP partner whose source is in Input. A partner whose host
// does not answer is disconnected (DP log message 74); one whose host refuses only
// when disconnectByTTL and its source's time to live has passed. True when one was.
bool ZEVP_ProbeTCPpartners(DPAB* anchor, ProcessEntry* caller, int64_t now, bool disconnectByTTL);
