// One SNMP request sent over UDP and one reply from its agent awaited, under a
// reply wait that every exchange of the process shares: when agents answer fewer
// than half of the requests, the wait grows by a second at a time-out, up to
// its ceiling; it never shrinks.
#pragma once

#include <netinet/in.h>

#include <cstdint>

// Sends the request (requestLength bytes of buffer) to the agent, unless
// receiveOnly, and waits for a datagram from the agent's address (from any
// address with acceptAnySource). The wait runs from the call: datagrams from
// other addresses are dropped and do not lengthen it; receive-only waits five
// seconds longer. The reply overwrites the buffer (bufferSize bytes, cleared
// first). Returns the received length, 0 on a time-out, or the short or negative
// result of a failed send or receive.
int32_t ZEVP_SNMPsendAndReceivePDU(int socketDescriptor, char* buffer, int32_t requestLength, int32_t bufferSize,
                                   const sockaddr_in* agent, int receiveOnly, int acceptAnySource);

namespace zevp {

// The shared statistics of the exchanges.
struct PDUexchangeStatistics {
  int32_t sendPDUwait;   // the reply wait, seconds
  int32_t maxPDUwait;    // its ceiling
  int32_t checkCount;    // sends after which the reply ratio is judged
  int32_t sendCount;     // since the last judgement
  int32_t receiveCount;  // since the last judgement
};

PDUexchangeStatistics CurrentPDUexchangeStatistics();

// For tests: sets the statistics, and the real length of one second of the reply
// wait (1000 ms; 0 restores it), so that waits of seconds pass quickly.
void PresetPDUexchangeStatistics(const PDUexchangeStatistics& statistics);
void SetPDUwaitSecondForTests(int32_t milliseconds);

}  // namespace zevp
