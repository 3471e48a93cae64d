// The abstract DCH transport. Every DCH endpoint owns one object of a subclass (sockets,
// or the local-procedure-call placeholder). The type of service chosen at construction
// decides whether it serves or connects: a server gets the request ring and a thread that
// runs the subclass's receive loop (IPCServer); a client readies itself with IPCClient.
#pragma once

#include <pthread.h>

#include <atomic>

#include "dch/dch_protocol.h"
#include "dch/ipc_circular_buffer.h"

// Types of service.
constexpr short DCHIPC_CLIENT = 1;
constexpr short DCHIPC_SERVER = 2;
// A client driven by a DCHclient: the base treats it as a client, IPCClient tells them apart.
constexpr short DCHIPC_DCHCLIENT = 3;

class DCHipc {
 public:
  // Stores the type of service; starts nothing. A subclass constructor calls it, sets
  // up what it needs, then calls startup.
  explicit DCHipc(short typeOfService);
  // Virtual: owners hold and delete their transports through this type.
  virtual ~DCHipc();
  DCHipc(const DCHipc&) = delete;
  DCHipc& operator=(const DCHipc&) = delete;

  // One whole message into a new array (caller frees with delete[]); >0 success, 0 time-out
  // without retry, -1 failure. wait: seconds, 0 or less without limit.
  virtual int ipcRead(void** buffer, int wait) = 0;
  // Sends length bytes: on the TCP connection connectedSockFD, or by UDP to the address
  // setClientAddr gave when it is 0. The bytes sent, or -1.
  virtual int ipcWrite(const void* buffer, int length, unsigned int connectedSockFD) = 0;
  virtual void setClientAddr(const void* address, int length) = 0;
  // The receive loop, run on the server thread: announces readiness through the ring, then
  // puts every received message. Returns non-zero only when it cannot start.
  virtual int IPCServer() = 0;
  // Readies the client side; 0 on success.
  virtual int IPCClient(void* address, int connectTo, int typeOfService) = 0;
  virtual int allocateIPC() = 0;
  virtual int releaseIPC() = 0;
  // The read time-out in seconds that a DCHclient uses.
  virtual int DCHtimeout();

  // Server: creates the ring and starts the server thread; client: IPCClient. The error state.
  int startup(void* address, int connectTo);

  // Transport thread only: copies the message and its sender into the ring (waits while
  // four messages wait). The outcome is the error state.
  void ipc_put_data(int length, const void* message, const void* clientAddr, int clientAddrLen,
                    const char* clientName, unsigned int connectedSockFD, DCHmessageKind kind,
                    unsigned int connectionGeneration);
  // Request thread only: waits for the oldest message (see ipcCircularBuffer::get). The
  // outcome is the error state.
  void ipc_get_data(char** buffer, int* bufferSize, void* clientAddr, int* clientAddrLen, char* clientName,
                    unsigned int* connectedSockFD, DCHmessageKind* kind, unsigned int* connectionGeneration);

  // 0 after a successful operation, non-zero after a failure.
  int ipcGetError() const { return _ipcError.load(); }
  void ipcSetError(int error) { _ipcError.store(error); }
  short ipcTypeOfService() const { return _typeOfService; }
  // Whether a read that timed out waits again (1 unless the owner changed it).
  int ipcGetRetryRead() const { return _retryRead; }
  void ipcSetRetryRead(int retry) { _retryRead = retry; }

 protected:
  // Not for use: traces an error and sets the error state to 1.
  DCHipc();
  // For a subclass whose IPCServer returns: waits for the server thread, so that the thread
  // is done with the object before the subclass's destructor takes its parts away.
  void joinServerThread();

 private:
  static void* IPCServerThread(void* channel);
  int ipc_new_cb();
  void ipc_delete_cb();
  ipcCircularBuffer* ring();

  // Written by the server thread and the owner's threads alike.
  std::atomic<int> _ipcError{0};
  short _typeOfService = 0;
  ipcCircularBuffer* _ipcCircularBuffer = nullptr;
  int _retryRead = 1;
  pthread_t _serverThread{};
  bool _serverThreadRunning = false;
};
