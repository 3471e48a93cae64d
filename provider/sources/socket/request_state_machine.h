// The one place where what a network partner sends moves its source through its
// states: association (API), online, rows, offline. Each state's request to the agent
// is carried out by the DCH client routine (queue and wait); an API partner gets one
// reply per request.
#pragma once

#include <string>

#include "partner_binding.h"

struct DPAB;
struct IOEntry;
struct ProcessEntry;
struct SourceEntry;

// n bytes received from the partner (the server's buffer); n <= 0 after its
// connection ended, 0 and null when the caller set the source Inactive to take it
// offline. A socket partner's bytes are records; an API partner's one request,
// which is answered.
void ZEVP_ProcessSockRequestByState(DPAB* anchor, ProcessEntry* caller, IOEntry* partner, int n, char* buffer);

namespace zevp {

// One call of the state machine.
struct PartnerRequest {
  DPAB* anchor = nullptr;
  ProcessEntry* caller = nullptr;
  IOEntry* partner = nullptr;
  SourceEntry* source = nullptr;
  PartnerMode mode = PartnerMode::Socket;
  const char* bytes = nullptr;  // null when nothing was received
  int length = 0;
  int status = 0;
  bool replyData = false;  // the reply carries data
  std::string data;
  bool actionDelivered = false;  // the reply carries an action request

  bool api() const { return mode == PartnerMode::API; }
};

// Queues the source in its state and waits for the DCH client routine; the state
// it was left in.
int32_t QueueAndWait(PartnerRequest& request);
// Sends the source's values as a row (Output, queue and wait) and puts the source
// back to Input; false when the agent did not take it (traced). A refusal leaves the
// source Output, where it would take no further request: it goes back to Input too.
bool SendRow(PartnerRequest& request);
// Puts the Ready source online (both modes), then, for a socket partner, takes the
// same bytes as records unless they are its association record.
void OnlineSteps(PartnerRequest& request);
// Socket records (Input).
void SocketRecords(PartnerRequest& request);
// The API partner's requests by state.
void ConnectedSteps(PartnerRequest& request);
void ReadySteps(PartnerRequest& request);
void APIinputSteps(PartnerRequest& request);
// Takes the Inactive source offline; an API partner's dynamic source leaves its group.
void OfflineSteps(PartnerRequest& request);

}  // namespace zevp
