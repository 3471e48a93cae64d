// The DCH requests of a data provider: each builds one request for one source,
// sends it and leaves the agent's answer in the DCHcomm block (DCHstatus, and
// DCHhandle for dp_online). They run on the DCH client thread, which holds the
// block's StatusMutex. In batch mode nothing is sent and the status is 0.
#pragma once

#include <cstdint>

struct DCHcomm;
struct SourceEntry;

// Action types of a wait-for-action request.
constexpr uint16_t ZEVP_ACTION_AUTOMATION = 1;
constexpr uint16_t ZEVP_ACTION_RULE = 2;
constexpr uint16_t ZEVP_ACTION_SNMP = 3;

void ZEVP_DoDPregister(SourceEntry* source, DCHcomm* comm);
void ZEVP_DoDPonline(SourceEntry* source, DCHcomm* comm);
void ZEVP_DoDPoffline(SourceEntry* source, DCHcomm* comm);
void ZEVP_DoDPunregister(SourceEntry* source, DCHcomm* comm);
void ZEVP_DoDPwaitForAction(SourceEntry* source, DCHcomm* comm, int actionType);
void ZEVP_DoDPdata(SourceEntry* source, DCHcomm* comm);

// The first step of ZEVP_DoDPdata: builds the data request of the source's current
// values in its output buffer (true), or leaves the status saying why nothing is
// to be sent (false; in batch mode the row is written as a batch record). Takes
// the source's attribute lock for the build; waits for nothing, so a caller may
// hold the source's own locks and send the message after releasing them.
bool ZEVP_BuildDPdataRequest(SourceEntry* source, DCHcomm* comm);

// Sends one message and, unless noWait is non-zero, waits for its status. A send
// that stops short leaves -1, or -3 after a reconnect when the agent had closed
// or reset the connection.
void ZEVP_DCHsendAndReceive(int length, const char* buffer, DCHcomm* comm, int noWait);

// The output buffer size of the source's data requests: 32, and per attribute its
// declared size, its name and 12; at least 1024.
int ZEVP_ComputeDCHbufferSize(SourceEntry* source);

// The DCH status left by the last request, read under the send lock.
int32_t ZEVP_DCHstatusOf(DCHcomm* comm);

// The step every request shares: sends the whole message (its length from its
// first word) for the source, again for as long as the agent answers 7.
void ZEVP_SendUntilAnswered(SourceEntry* source, DCHcomm* comm, const char* message);

// Sets the status under the send lock.
void ZEVP_SetDCHstatus(DCHcomm* comm, int32_t status);

// True in batch mode, where a request sends nothing and reports 0.
bool ZEVP_DCHbypassed(DCHcomm* comm);
