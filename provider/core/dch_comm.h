// The DCH client's communication block: the connection to the agent's DCH, the
// buffer of the short requests, and the status handshake between the thread that
// sends a request and the receive thread that takes its reply.
//
// The DCH client thread holds StatusMutex while it sends a request and takes its
// status, except inside its waits on StatusCond; so a status can only be signalled
// while the client waits for it.
// SendLock is held from just before a request is sent until its status has been
// stored, and by the receive thread while it stores one. The receive thread never
// holds one of these while it takes another (the client takes SendLock and
// ReceiveReadyMutex under StatusMutex), so the two threads cannot block each other.
#pragma once

#include <netinet/in.h>
#include <pthread.h>

#include <cstdint>

#include "bsv1.h"

struct DPAB;

constexpr int32_t ZEVP_DCH_REQUEST_BUFFER_SIZE = 512;

// Connection states.
enum ZEVP_DCHconnectionState : int32_t {
  ZEVP_DCH_NOT_CONNECTED = 0,
  ZEVP_DCH_OVER_UDP = 1,        // no TCP connection could be made: the UDP socket is in use
  ZEVP_DCH_OVER_TCP = 2,
  ZEVP_DCH_UDP_CONFIRMED = 3,   // a further attempt after a registration also found no TCP
};

// Statuses of the link itself; other values come from the agent.
constexpr int32_t ZEVP_DCH_SEND_FAILED = -1;
constexpr int32_t ZEVP_DCH_TIMED_OUT = -2;
constexpr int32_t ZEVP_DCH_CONNECTION_LOST = -3;

struct DCHcomm {
  DPAB* Anchor;
  int32_t ConnectionState;  // ZEVP_DCHconnectionState
  int Socket;               // 0 when not connected
  sockaddr_in DCHaddress;
  int32_t RequestBufferSize;
  char RequestBuffer[ZEVP_DCH_REQUEST_BUFFER_SIZE];
  int32_t StatusPending;   // 1 from the send of a request until its status has come
  int64_t RequestSentMs;   // steady-clock milliseconds of that send: its UDP reply wait runs from there
  int32_t RequestAwaited;  // the DCH request sequence number of the source in flight, 0 none
  int32_t DCHstatus;
  uint32_t DCHhandle;  // from the last status reply that carried one
  // Guard ReceiveTaskRunning and ReceiveTaskStarts, which the receive thread sets
  // as it starts and ends: a connect waits on them for the old thread to end and
  // the new one to run.
  pthread_mutex_t ReceiveReadyMutex;
  pthread_cond_t ReceiveReadyCond;
  pthread_mutex_t StatusMutex;
  pthread_cond_t StatusCond;
  BSV1_Lock SendLock;
  int32_t ReceiveTaskRunning;
  int32_t ReceiveTaskStarts;
};

// Prepares the block as the DCH client does when it starts: anchor, no socket, the
// request buffer, no request in flight, and its mutexes, conditions and lock. The
// caller then locks StatusMutex for as long as it serves the DCH.
void ZEVP_InitializeDCHcomm(DCHcomm* comm, DPAB* anchor);
// Destroys the mutexes, conditions and lock (the receive thread has ended).
void ZEVP_DestroyDCHcomm(DCHcomm* comm);

// The steady clock in milliseconds, the unit of RequestSentMs.
int64_t ZEVP_SteadyMilliseconds();

// Waits until no receive thread runs on the block.
void ZEVP_AwaitReceiveTaskEnd(DCHcomm* comm);

// The status wait of the sender of a request, which holds SendLock and StatusMutex
// and has set StatusPending: releases SendLock and waits until the receive side
// has cleared StatusPending, waking every 3 seconds to look again. Once the data
// provider ends (shut-down requested, or the DCH client told to end), a status
// that has not come within one such wait is given up: the link is dropped and the
// status is -3. Returns with StatusMutex held.
void ZEVP_CheckDCHstatus(DCHcomm* comm);

// Holds StatusMutex for one request: its send and the wait for its status. It is
// taken inside every other lock held for the request (a source's, an application's),
// so the status wait, which reacquires it, keeps one order of locks.
class DCHstatusHeld {
 public:
  explicit DCHstatusHeld(DCHcomm* comm) : comm_(comm) { pthread_mutex_lock(&comm_->StatusMutex); }
  ~DCHstatusHeld() { pthread_mutex_unlock(&comm_->StatusMutex); }
  DCHstatusHeld(const DCHstatusHeld&) = delete;
  DCHstatusHeld& operator=(const DCHstatusHeld&) = delete;

 private:
  DCHcomm* comm_;
};
