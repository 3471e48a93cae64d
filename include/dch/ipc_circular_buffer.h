// The request ring of a server-mode DCH transport: five slots between the transport
// thread, which puts each received message with its sender, and the server's request
// thread, which takes them in order. At most four messages wait; a fifth put blocks
// until a get has taken one.
//
// Each slot carries, beside the message, its kind (a DCH message or one of the
// transport's pseudo-messages) and the generation of the TCP connection it concerns,
// so that the request thread never has to recognise a pseudo-message by its content
// and a reply for a closed connection cannot reach a new one with the same descriptor.
#pragma once

#include <pthread.h>

#include "dch/dch_protocol.h"

constexpr int IPC_QSIZE = 5;
// Room for the sender's address and for its name (NUL included) in a slot and in the
// buffers a reader passes to get.
constexpr int IPC_CLIENT_ADDR_SIZE = 256;
constexpr int IPC_CLIENT_NAME_SIZE = 256;

class ipcCircularBuffer {
 public:
  // Where message buffers come from: new char[size] storage, or null when there is none.
  // The ring frees its own and hands the reader buffers that the reader frees with delete[].
  using BufferAllocator = char* (*)(int size);

  // owner: only printed in lock error traces. allocate: null for new char[].
  explicit ipcCircularBuffer(const void* owner, BufferAllocator allocate = nullptr);
  ~ipcCircularBuffer();
  ipcCircularBuffer(const ipcCircularBuffer&) = delete;
  ipcCircularBuffer& operator=(const ipcCircularBuffer&) = delete;

  // Copies the message and its sender into the next free slot, waiting while four wait.
  // clientName: null (the slot then holds 255 blanks) or at least 5 characters (longer
  // than 255 are cut); clientAddrLen 0..256. 0 when stored, 1 when refused or failed
  // (the message is dropped).
  int put(int length, const void* message, const void* clientAddr, int clientAddrLen, const char* clientName,
          unsigned int connectedSockFD, DCHmessageKind kind, unsigned int connectionGeneration);

  // Waits for the oldest message and copies it out. *buffer (of *bufferSize bytes, or
  // null) is the reader's own: it is replaced by a larger one (and the old one freed)
  // when smaller than the slot's buffer, so the message is always followed by zero
  // bytes. clientAddr has room for 256 bytes, clientName for 256 characters.
  // 0 when taken, 1 when failed (the message stays the oldest).
  int get(char** buffer, int* bufferSize, void* clientAddr, int* clientAddrLen, char* clientName,
          unsigned int* connectedSockFD, DCHmessageKind* kind, unsigned int* connectionGeneration);

 private:
  struct Slot {
    unsigned char clientAddr[IPC_CLIENT_ADDR_SIZE];
    int clientAddrLen;
    char clientName[IPC_CLIENT_NAME_SIZE];
    unsigned int connectedSockFD;
    DCHmessageKind kind;
    unsigned int connectionGeneration;
    int allocatedSize;
    int messageLength;
    char* data;
  };

  bool waitOn(pthread_cond_t* condition, const char* waitingText);
  bool storeMessage(Slot& slot, int length, const void* message);
  bool provideReaderBuffer(char** buffer, int* bufferSize, int neededSize);
  bool signal(pthread_cond_t* condition);

  const void* owner_;
  BufferAllocator allocate_;
  pthread_mutex_t mutex_;
  pthread_cond_t notfull_;
  pthread_cond_t notempty_;
  int start_idx_ = 0;
  int num_full_ = 0;
  Slot slots_[IPC_QSIZE] = {};
};
