// The agent's in-process DCH server: one object per agent process, built by the
// agent core in its own frame and destroyed at shut-down.
//
// It owns the server-mode transport, whose thread puts every received message into
// the five-slot request ring, and a client-mode transport for the replies; the data
// store, the waiting list of parked requests and the action table. One request
// thread (process_request) takes the ring's messages one at a time and handles each
// to the end before it takes the next: only that thread runs the handlers, touches
// the store, the waiting list and the current request's fields, and sends replies.
//
// Ready handshake: the transport announces through the ring that it listens; when the
// request thread takes that announcement it sets readyState under readyLock and
// signals readyCond. The constructing thread locks readyLock, waits on readyCond while
// readyState is 0, and unlocks before it lets any consumer talk to the server.
//
// The handlers of each request family live in a file of their own:
//   dch_server_registration.cpp       0x1010
//   dch_server_provider_requests.cpp  0x1015 0x1020 0x1025 0x1030
//   dch_server_consumer_requests.cpp  0x2040 0x2045 0x2050 0x2060 0x2070
//   dch_server_action_requests.cpp    0x1040 0x1050 0x10FF 0x2080 0x2090
// A handler takes the whole message: its first four bytes are its total length, which
// equals what arrived (the transport drops any other), and zero bytes follow it; the
// request-code field comes first.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "dch/dchipc.h"
#include "waiter_reply_address.h"

class actionTable;
struct DCHaction;
class applSpaceList;
class DCwaitingList;
class ipcSock;

class DCHserver {
 public:
  // The handle argument of sendStatus for a reply without a handle field.
  static constexpr long kNoHandle = -99;
  static constexpr int kClientNameSize = 256;

  // Starts both transports and the request thread. Ends the process (exit code 1) on
  // an unknown transport type, a failed transport or a request thread that cannot start.
  DCHserver();
  // Stops the request thread and the transport's thread, then frees what they used.
  ~DCHserver();
  DCHserver(const DCHserver&) = delete;
  DCHserver& operator=(const DCHserver&) = delete;

  pthread_mutex_t* readyLock() { return &_readyLock; }
  pthread_cond_t* readyCond() { return &_readyCond; }
  // Read with readyLock held.
  short readyState() const { return _readyState; }
  int max_Applications() const { return _maxApplications; }
  int max_AttrGroup_Per_Appl() const { return _maxAttrGroupPerAppl; }

  // Request thread only, from here on.

  // Answers the sender of the request in hand with a status reply; a handle of
  // kNoHandle leaves the handle field out.
  void sendStatus(long status, long handle);
  // Sends a message to a requester: on its TCP connection while that is still the one
  // the request came on, else as a datagram to its address. The bytes sent, or -1.
  int sendReply(const void* message, int length, const WaiterReplyAddress& to);
  // A data provider's TCP connection closed: its sources go offline, its applications
  // are unregistered and its parked requests go.
  void processDisconnect(unsigned int connectedSockFD);

  // Data-provider requests; each returns the status that the request loop sends back.
  int dp_register(int totalLength, char* message);
  // *handle: the source's handle (sent as 0 when the status is not 0).
  int dp_online(char* message, const char* clientName, long* handle);
  int dp_data(char* message);
  int dp_offline(char* message);
  int dp_unregister(char* message);

  // Consumer requests. The request loop calls each with the message and no waiter;
  // the data-provider handlers call them without a message to answer a parked waiter.
  void dc_getApplications(char* message, const char* applName, const WaiterReplyAddress* waiter);
  void dc_getApplHelp(char* message, const char* applName, const WaiterReplyAddress* waiter);
  void dc_getApplAttributes(char* message, const char* applName, const WaiterReplyAddress* waiter);
  void dc_waitOnData(char* message, long handle, const WaiterReplyAddress* waiter);
  // requestType: 0x1015 (online) or 0x1025 (offline) in the answer role.
  void dc_waitForDPStatus(char* message, const char* applName, const char* attrGroup, const char* sourceName,
                          short requestType, const WaiterReplyAddress* waiter);

  // Action requests.
  int dp_waitForAction(char* message);
  // No reply: the result is only traced.
  int dc_provideAction(char* message);
  int dp_provideActionResults(char* message);
  // *results: the action's status, which the request loop sends back.
  int dc_waitForActionResults(char* message, long* results);
  // No effect, no reply.
  int dp_cancel(char* message);

  // The action log (dch_server_action_log.cpp), a data provider of this server that
  // publishes routed actions and their results as rows of DVAGENT/"ACTION".
  // Call after every successful online (0x1015): brings the action log online when a
  // source of DVAGENT/"DPLOG" is online and the log is not online yet.
  void actionLogSourceOnline();
  // Call after every successful offline (0x1025): takes the action log offline when it
  // is online and no source of DVAGENT/"DPLOG" is online any more.
  void actionLogSourceOffline();

 private:
  static void* process_request(void* server);
  void startTransports();
  void stopRequestThread();
  void destroyReadyHandshake();

  // The request loop (dch_server_loop.cpp).
  void processRequest();
  bool takeRequest(char** request, int* requestSize, DCHmessageKind* kind);
  bool isStopMarker(DCHmessageKind kind) const;
  int handleTaken(DCHmessageKind kind, char* request, int requestSize, int lastStatus);
  int handleMessage(char* request, int requestSize, int lastStatus);
  void signalReady();

  // Dispatch by request code (dch_server_dispatch.cpp); the request's status.
  int dispatch(uint16_t requestCode, char* message);
  int answer(int status);
  int answerOnline(char* message);
  int answerData(char* message);
  int answerWaitForActionResults(char* message);
  int traceProvideAction(char* message);

  // Action requests (dch_server_action_requests.cpp).
  // The data providers parked for actions of the type on the host.
  int countActionRecipients(uint16_t actionType, const char* hostName);
  int forwardAction(const DCHaction& action, const char* hostName);
  void notifyActionResultWaiters(int32_t status);

  applSpaceList* _buckets;
  DCHipc* _ipcSrv = nullptr;
  DCHipc* _ipcClient = nullptr;
  // _ipcClient when it is a socket transport, which can refuse a reply to a closed
  // connection whose descriptor a new one reuses; null otherwise.
  ipcSock* _replySock = nullptr;
  DCwaitingList* _waitList;
  // Shared with the action log's online and offline threads, which may outlive the server.
  std::shared_ptr<actionTable> _actionList;
  // The sender of the request in hand: address, TCP connection (0 for a datagram)
  // and that connection's generation.
  WaiterReplyAddress _requester;
  int _ipcType = 0;
  char _clientName[kClientNameSize] = {};
  short _readyState = 0;
  short _actionOnline = 0;
  short _actionData = 0;
  int _maxApplications;
  int _maxAttrGroupPerAppl;
  pthread_mutex_t _readyLock;
  pthread_cond_t _readyCond;
  pthread_t _requestThread{};
  std::atomic<bool> _stopping{false};
};
