// One endpoint of the DCH on the requesting side. A client owns a client-mode transport
// (always UDP datagrams to the DCH host and port of the environment), builds one request at a
// time in its own buffer, writes it, reads the reply where the request has one and takes it
// apart. Its methods are the verbs of the channel: the data-provider verbs dp_* and the
// consumer verbs dc_*. The exported functions (dch_api.h) make a short-lived client for each
// single call, or a long-lived one that is the handle of a standing wait.
//
// The verbs report twice: the result is the client's error flag (0 success, 1 failure, -1 the
// last wait for rows was cancelled) and a status out-parameter carries the server's status or
// one of the local codes below, which never travel. After a failure the client is inert: every
// later verb does nothing and returns the flag.
#pragma once

#include <atomic>
#include <cstdint>

#include "dch/dch_protocol.h"

class DCHipc;

// Local statuses of the data-provider verbs (the server's statuses come from its replies).
// What each means depends on the verb:
//   1 dp_register: no register body; dp_online: a name too long; dp_formatData: the attribute
//     does not fit the data request (the client stays usable); dp_data, dp_offline,
//     dp_unregister: the reply has no DCH_status.
//   2 the request was not written whole; dp_register, dp_online: the reply has no DCH_status
//     (dp_online: or no DCH_handle).
//   3 dp_online: a name missing.
//   4 dp_formatData: no work buffer could be allocated; dp_data: no work buffer.
//   5 no reply was read (time-out or a garbled reply).
constexpr long DCHCLIENT_STATUS_REFUSED = 1;
constexpr long DCHCLIENT_STATUS_NOT_SENT = 2;
constexpr long DCHCLIENT_STATUS_NAME_MISSING = 3;
constexpr long DCHCLIENT_STATUS_NO_WORK_BUFFER = 4;
constexpr long DCHCLIENT_STATUS_NO_REPLY = 5;

// The client's error flag besides 0 (usable) and 1 (failed).
constexpr int DCHCLIENT_CANCELLED = -1;  // the last wait for rows was cancelled; still usable
constexpr int DCHCLIENT_NO_STORAGE = 4;  // no storage for a reply text; inert like 1

class DCHclient {
 public:
  // (0, 1) a single call: UDP socket borrowed from the process's pool for the client's life;
  // (1, 0) the handle of a wait for rows: its own UDP socket and an interrupt socket;
  // (0, 0) the handle of a wait for status notices: its own UDP socket.
  // A transport that reports a failed set-up, or an unknown IPC type, ends the process
  // (exit status 1).
  DCHclient(int interruptSocket, int useFromSockPool);
  // Gives a pooled socket back and closes what the client opened.
  ~DCHclient();
  DCHclient(const DCHclient&) = delete;
  DCHclient& operator=(const DCHclient&) = delete;

  // --- Data-provider verbs (dch_client_provider_verbs.cpp) ---------------------------------

  // 0x1010 with the body that the data-provider engine builds from the metafile.
  int dp_register(long* status, const char* metafileName);
  // 0x1015; the server's handle of the source goes to *handle. Names at most 20, 32, 32.
  int dp_online(long* status, long* handle, const char* applName, const char* attrGroup, const char* sourceName);
  // Appends one attribute to the data request that the caller keeps between calls: *workBuffer
  // (null at first: a 4096-byte block is allocated with malloc) and its length in *size. A
  // valueSize of 0 or less adds nothing. An attribute that does not fit is refused (status 1)
  // and the request stays as it was.
  int dp_formatData(long* status, char** workBuffer, long* size, const char* attrName, const void* attrValue,
                    long valueSize, char attrType);
  // Sends the data request that dp_formatData built, with the handle and the control field
  // filled in, and reads the status reply within the read time-out (setReadTimeout). The work
  // buffer is freed and *workBuffer nulled, whether or not the request went out.
  int dp_data(long* status, long handle, short controlField, char** workBuffer);
  // 0x1025 for the handle that dp_online returned.
  int dp_offline(long* status, long handle);
  // 0x1020.
  int dp_unregister(long* status, const char* applName);
  // Unfinished: nothing is sent (the engine speaks 0x10FF, 0x1040 and 0x1050 with its own
  // client). dp_cancel returns the flag with status 0.
  int dp_cancel(long* status, long handle);
  void dp_waitForAction(long actionType);
  void dp_provideActionResults(long actionID, long actionStatus);
  void shutdown(int how);

  // --- Consumer verbs (dch_client_consumer_verbs.cpp) --------------------------------------

  // 0x2040 (every application when applName is null), 0x2050, 0x2045: the response text, in a
  // new malloc'ed block of its length + 1 (NUL-terminated) stored through buffer, which the
  // caller frees with free. wait: seconds, 0 without limit. Result: the text's length, 0 after
  // a failure (the block is stored only when one was made).
  int dc_getApplications(char** buffer, const char* applName, int wait);
  int dc_getApplAttributes(char** buffer, const char* applName, int wait);
  int dc_getApplHelp(char** buffer, const char* applName, int wait);
  // 0x2080; the parameters field only when actionParms is not null. No reply.
  int dc_provideAction(short actionType, const char* actionOwner, const char* actionNode, const char* subNode,
                       const char* actionName, long actionID, const char* actionParms);
  // 0x2090: the action's status code, or -1 when the flag is not 0 at the end.
  long dc_waitForActionResults(long actionID);

  // --- Standing waits (dch_client_waits.cpp) -----------------------------------------------

  // Parks this client at the server for rows of the application and group (at most 20 and
  // 32 characters). No reply.
  int dc_waitOnDataInitialize(const char* applName, const char* attrGroup);
  // Waits for the next row message or the interrupt: 0 the row message, total length word
  // included, is in buffer; -1 the wait was cancelled (buffer holds the interrupt message);
  // 1 failure (also a row longer than buflen: nothing is copied).
  int dc_waitOnData(char* buffer, short buflen);
  // Wakes a dc_waitOnData blocked on this client, from another thread.
  int dc_waitOnDataCancel();
  // Removes this client's wait for rows at the server; also after a cancel. Only once: a
  // second removal would take the wait of another client parked for the same names.
  int dc_waitOnDataDestroy();
  // Removes the wait at the server (when it is still there) and hands over, without waiting,
  // a row message that reached the client before: 0 one is in buffer (call again for the
  // next), 1 none is left, or failure.
  int dc_waitOnDataWithdraw(char* buffer, short buflen);
  // Parks (or removes) this client at the server for source status notices. No reply.
  int dc_waitForDPStatusInitialize();
  int dc_waitForDPStatusDestroy();
  // Waits without limit for the next status notice: "appl,group,source,code" (code 4117 for
  // online, 4133 for offline), valid until the client's next request; null after a failure.
  char* dc_waitForDPStatus();

  // --- Settings ---------------------------------------------------------------------------

  // The read time-out of dp_data in seconds; 0 restores the DCH time-out.
  void setReadTimeout(int seconds);
  // Whether a read that timed out waits again (non-zero) or fails (0).
  void setRetryRead(int retry);

 private:
  // Exchange (dch_client.cpp).
  bool usable(long* status) const;
  int fail(long* status, long localStatus);
  int failWith(int error);
  void clearRequest();
  bool writeRequest(const char* request, uint32_t length);
  bool readReply(int wait);
  uint32_t replyLength() const;
  void dropReply();
  int awaitStatus(long* status, int wait, long whenNoStatus, long* handle);
  int sendAndAwaitStatus(long* status, uint32_t length, const char* writeError, long whenNoStatus);

  // Consumer verbs (dch_client_consumer_verbs.cpp).
  int fetchText(char** buffer, uint32_t length, int wait, const char* writeError, const char* readError);
  int copyResponse(char** buffer);

  // Standing waits (dch_client_waits.cpp).
  void openInterruptSocket();
  bool socketTransport(const char* verb);
  int writeWaitRequest(uint32_t length, const char* writeError);
  int waitForReadable(bool* interrupted);
  int takeRow(char* buffer, short buflen, bool* taken);
  bool takeInterrupt(char* buffer, short buflen);

  // IPC types (ZEVA_GetIPCtype).
  static constexpr int kSocketsIPC = 1;
  static constexpr int kLocalProcedureCallIPC = 2;

  int _ipcType = 0;
  DCHipc* _ipcClient = nullptr;
  char* _readBuffer = nullptr;
  char _requestBuffer[DCH_REQUEST_BUFFER_SIZE] = {};
  char _applName[DCH_MAX_APPL_NAME + 1] = {};
  char _attrGroup[DCH_MAX_ATTR_GROUP + 1] = {};
  int _interruptFD;
  // Parked at the server for rows and not removed yet.
  bool _parkedForRows = false;
  int _DCHtimeout = 0;
  int _ipcReadTimeout = 0;
  // Also written by a cancel from another thread.
  std::atomic<int> _error{0};
};
