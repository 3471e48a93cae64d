// The request ring between the transport thread and the server's request thread.
#include "dch/ipc_circular_buffer.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

#include "dch/channel_functions.h"
#include "trc1.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

constexpr int kBufferStep = 4096;
// The ring holds one message fewer than it has slots.
constexpr int kMaxWaiting = IPC_QSIZE - 1;
constexpr int kMinClientName = 5;

char* newBuffer(int size) { return new (std::nothrow) char[size]; }

// A slot buffer's first size: 4096, or the message and one byte more (64-bit: it may pass the int range).
int64_t firstSize(int length) { return length < kBufferStep ? kBufferStep : static_cast<int64_t>(length) + 1; }

// Grown in 4096-byte steps until it exceeds the message.
int64_t grownSize(int size, int length) {
  int64_t grown = size;
  while (grown <= length) grown += kBufferStep;
  return grown;
}

bool validSender(const void* clientAddr, int clientAddrLen, const char* clientName) {
  if (clientAddrLen < 0 || clientAddrLen > IPC_CLIENT_ADDR_SIZE || (clientAddrLen > 0 && clientAddr == nullptr)) {
    TRC(TRC_ERROR, "Error: client address length %d not within 0..%d", clientAddrLen, IPC_CLIENT_ADDR_SIZE);
    return false;
  }
  // The reader takes a shorter name for a damaged slot; refuse it here so that no slot holds one.
  if (clientName != nullptr && strnlen(clientName, kMinClientName) < kMinClientName) {
    TRC(TRC_ERROR, "Error: ipcClientName ptr problem: @%p %d", static_cast<const void*>(clientName),
        static_cast<int>(strlen(clientName)));
    return false;
  }
  return true;
}

// The sender's name, cut to the slot; no name is 255 blanks.
void storeClientName(char (&slotName)[IPC_CLIENT_NAME_SIZE], const char* clientName) {
  if (clientName == nullptr) {
    memset(slotName, ' ', IPC_CLIENT_NAME_SIZE - 1);
    slotName[IPC_CLIENT_NAME_SIZE - 1] = '\0';
    return;
  }
  size_t length = strnlen(clientName, IPC_CLIENT_NAME_SIZE - 1);
  memcpy(slotName, clientName, length);
  slotName[length] = '\0';
}

}  // namespace

ipcCircularBuffer::ipcCircularBuffer(const void* owner, BufferAllocator allocate)
    : owner_(owner), allocate_(allocate != nullptr ? allocate : newBuffer) {
  ZEV0_InitializeMutex(&mutex_);
  ZEV0_InitializeCondVar(&notfull_);
  ZEV0_InitializeCondVar(&notempty_);
}

ipcCircularBuffer::~ipcCircularBuffer() {
  pthread_mutex_destroy(&mutex_);
  pthread_cond_destroy(&notfull_);
  pthread_cond_destroy(&notempty_);
  for (Slot& slot : slots_) delete[] slot.data;
}

bool ipcCircularBuffer::waitOn(pthread_cond_t* condition, const char* waitingText) {
  TRC(TRC_DETAIL, "%s", waitingText);
  int rc = pthread_cond_wait(condition, &mutex_);
  if (rc == 0) return true;
  TRC(TRC_ERROR, "Error: pthread_cond_wait failed. rc=%d errno=%d", rc, errno);
  return false;
}

bool ipcCircularBuffer::signal(pthread_cond_t* condition) {
  int rc = pthread_cond_signal(condition);
  if (rc == 0) return true;
  TRC(TRC_ERROR, "Error: pthread_cond_signal failed. rc=%d errno=%d", rc, errno);
  return false;
}

// The new buffer is had before the old one goes: a failed allocation keeps the slot as it was.
bool ipcCircularBuffer::storeMessage(Slot& slot, int length, const void* message) {
  if (slot.data == nullptr || slot.allocatedSize <= length) {
    int64_t size = slot.data == nullptr ? firstSize(length) : grownSize(slot.allocatedSize, length);
    char* grown = size <= INT_MAX ? allocate_(static_cast<int>(size)) : nullptr;
    if (grown == nullptr) {
      TRC(TRC_ERROR, "Error: allocating %lld bytes.", static_cast<long long>(size));
      return false;
    }
    if (slot.data != nullptr) TRC(TRC_DETAIL, "Note: reallocating buffer to %d bytes.", static_cast<int>(size));
    delete[] slot.data;
    slot.data = grown;
    slot.allocatedSize = static_cast<int>(size);
  }
  if (length > 0) memcpy(slot.data, message, static_cast<size_t>(length));
  memset(slot.data + length, 0, static_cast<size_t>(slot.allocatedSize - length));
  slot.messageLength = length;
  return true;
}

int ipcCircularBuffer::put(int length, const void* message, const void* clientAddr, int clientAddrLen,
                           const char* clientName, unsigned int connectedSockFD, DCHmessageKind kind,
                           unsigned int connectionGeneration) {
  if (length < 0 || (length > 0 && message == nullptr)) {
    TRC(TRC_ERROR, "Error: invalid message of %d bytes @%p", length, message);
    return 1;
  }
  if (!validSender(clientAddr, clientAddrLen, clientName)) return 1;
  if (ZEVA_GetLock(&mutex_, owner_) != 0) return 1;
  bool ok = true;
  while (ok && num_full_ == kMaxWaiting) ok = waitOn(&notfull_, "Waiting for circular buffers to be freed.");
  if (ok) {
    Slot& slot = slots_[(start_idx_ + num_full_) % IPC_QSIZE];
    ok = storeMessage(slot, length, message);
    if (ok) {
      memset(slot.clientAddr, 0, sizeof slot.clientAddr);
      if (clientAddrLen > 0) memcpy(slot.clientAddr, clientAddr, static_cast<size_t>(clientAddrLen));
      slot.clientAddrLen = clientAddrLen;
      storeClientName(slot.clientName, clientName);
      slot.connectedSockFD = connectedSockFD;
      slot.kind = kind;
      slot.connectionGeneration = connectionGeneration;
      ++num_full_;
    }
  }
  // Woken after the unlock, the reader finds the lock free rather than waiting for it.
  ok = ZEVA_ReleaseLock(&mutex_, owner_) == 0 && ok;
  ok = signal(&notempty_) && ok;
  return ok ? 0 : 1;
}

// The reader's buffer is replaced only once its successor is had.
bool ipcCircularBuffer::provideReaderBuffer(char** buffer, int* bufferSize, int neededSize) {
  if (*buffer != nullptr && *bufferSize >= neededSize) return true;
  char* larger = allocate_(neededSize);
  if (larger == nullptr) {
    if (*buffer == nullptr)
      TRC(TRC_ERROR, "Error: allocating %d bytes.", neededSize);
    else
      TRC(TRC_ERROR, "Error: reallocating %d bytes.", neededSize);
    return false;
  }
  if (*buffer != nullptr) TRC(TRC_DETAIL, "Note: reallocating buffer to %d bytes.", neededSize);
  delete[] *buffer;
  *buffer = larger;
  *bufferSize = neededSize;
  return true;
}

int ipcCircularBuffer::get(char** buffer, int* bufferSize, void* clientAddr, int* clientAddrLen, char* clientName,
                           unsigned int* connectedSockFD, DCHmessageKind* kind,
                           unsigned int* connectionGeneration) {
  if (ZEVA_GetLock(&mutex_, owner_) != 0) {
    TRC(TRC_ERROR, "Error: unable to acquire ipcCircularBuffer lock");
    return 1;
  }
  bool ok = true;
  while (ok && num_full_ == 0) ok = waitOn(&notempty_, "Waiting for circular buffers to be populated.");
  if (ok) {
    Slot& slot = slots_[start_idx_];
    ok = provideReaderBuffer(buffer, bufferSize, slot.allocatedSize);
    if (ok) {
      memcpy(*buffer, slot.data, static_cast<size_t>(slot.messageLength));
      memset(*buffer + slot.messageLength, 0, static_cast<size_t>(*bufferSize - slot.messageLength));
      memcpy(clientName, slot.clientName, sizeof slot.clientName);
      *clientAddrLen = slot.clientAddrLen;
      memcpy(clientAddr, slot.clientAddr, static_cast<size_t>(slot.clientAddrLen));
      *connectedSockFD = slot.connectedSockFD;
      *kind = slot.kind;
      *connectionGeneration = slot.connectionGeneration;
      start_idx_ = (start_idx_ + 1) % IPC_QSIZE;
      --num_full_;
    }
  }
  bool taken = ok;
  ok = ZEVA_ReleaseLock(&mutex_, owner_) == 0 && ok;
  if (taken) ok = signal(&notfull_) && ok;
  return ok ? 0 : 1;
}
