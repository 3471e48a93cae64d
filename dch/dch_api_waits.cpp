// The exported standing waits and the library locks that keep them apart: registering a wait
// makes a long-lived client under its lock and hands it out as the handle; cancel and destroy
// of a wait for rows share a lock, so they never overlap on one handle.
#include <pthread.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "dch/channel_functions.h"
#include "dch/dch_api.h"
#include "dch/dch_client.h"
#include "trc1.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

short _DCHInit = 0;
// Statically initialised as well, so that a wait before DCH_api_init finds usable locks.
pthread_mutex_t _dc_waitOnDataLock = PTHREAD_MUTEX_INITIALIZER;
pthread_mutex_t _dc_waitOnDataCancelLock = PTHREAD_MUTEX_INITIALIZER;
pthread_mutex_t _dc_waitForDPStatusLock = PTHREAD_MUTEX_INITIALIZER;
// The client made by the last initialise call; written only under its lock.
DCHclient* client_waitOnData = nullptr;
DCHclient* client_waitForDPStatus = nullptr;
char dc_waitForDPStatusBUF[DCH_REQUEST_BUFFER_SIZE];

// The client's result as the exported functions give it: 0 done (also after a cancel), 1 not.
int doneOrFailed(int clientResult) { return clientResult > 0 ? 1 : 0; }

}  // namespace

void DCH_api_init() {
  if (_DCHInit != 0) return;
  _DCHInit = 1;
  ZEV0_InitializeMutex(&_dc_waitOnDataLock);
  ZEV0_InitializeMutex(&_dc_waitOnDataCancelLock);
  ZEV0_InitializeMutex(&_dc_waitForDPStatusLock);
}

// Only locks that were made are destroyed; a later DCH_api_init makes them anew.
void DCH_api_destroy() {
  if (_DCHInit == 0) return;
  _DCHInit = 0;
  pthread_mutex_destroy(&_dc_waitOnDataLock);
  pthread_mutex_destroy(&_dc_waitOnDataCancelLock);
  pthread_mutex_destroy(&_dc_waitForDPStatusLock);
}

namespace {

// With the wait's lock held: makes the client of a standing wait, registers it at the
// server and releases the lock. The handle, or null when any step failed.
template <typename Register>
DCHclient* registerWaitAndRelease(pthread_mutex_t* lock, DCHclient** client, int interruptSocket,
                                  Register registerWait) {
  *client = new (std::nothrow) DCHclient(interruptSocket, 0);
  if (*client != nullptr && registerWait(**client) != 0) {
    delete *client;
    *client = nullptr;
  }
  DCHclient* handle = *client;
  if (ZEVA_ReleaseLock(lock, nullptr) != 0) {
    delete handle;
    return nullptr;
  }
  return handle;
}

}  // namespace

DCHclient* dc_waitOnDataInitialize(const char* applName, const char* attrGroup) {
  if (ZEVA_GetLock(&_dc_waitOnDataLock, nullptr) != 0) {
    TRC(TRC_ERROR, "Error: unable to acquire dc_waitOnDataLock");
    return nullptr;
  }
  return registerWaitAndRelease(&_dc_waitOnDataLock, &client_waitOnData, 1, [&](DCHclient& client) {
    return client.dc_waitOnDataInitialize(applName, attrGroup);
  });
}

int dc_waitOnData(DCHclient* handle, char* buffer, short buflen) {
  return handle != nullptr ? handle->dc_waitOnData(buffer, buflen) : 1;
}

int dc_waitOnDataCancel(DCHclient* handle) {
  if (ZEVA_GetLock(&_dc_waitOnDataCancelLock, nullptr) != 0) return 1;
  int result = handle != nullptr ? doneOrFailed(handle->dc_waitOnDataCancel()) : 1;
  if (ZEVA_ReleaseLock(&_dc_waitOnDataCancelLock, nullptr) != 0) result = 1;
  return result;
}

int dc_waitOnDataDestroy(DCHclient* handle) {
  if (ZEVA_GetLock(&_dc_waitOnDataCancelLock, nullptr) != 0) return 1;
  int result = 1;
  if (handle != nullptr) {
    result = doneOrFailed(handle->dc_waitOnDataDestroy());
    delete handle;
  }
  if (ZEVA_ReleaseLock(&_dc_waitOnDataCancelLock, nullptr) != 0) result = 1;
  return result;
}

// Under the cancel lock as the destroy: a cancel from another thread may come meanwhile.
int dc_waitOnDataWithdraw(DCHclient* handle, char* buffer, short buflen) {
  if (ZEVA_GetLock(&_dc_waitOnDataCancelLock, nullptr) != 0) return 1;
  int result = handle != nullptr ? handle->dc_waitOnDataWithdraw(buffer, buflen) : 1;
  if (ZEVA_ReleaseLock(&_dc_waitOnDataCancelLock, nullptr) != 0) result = 1;
  return result;
}

DCHclient* dc_waitForDPStatusInitialize() {
  if (ZEVA_GetLock(&_dc_waitForDPStatusLock, nullptr) != 0) return nullptr;
  return registerWaitAndRelease(&_dc_waitForDPStatusLock, &client_waitForDPStatus, 0,
                                [](DCHclient& client) { return client.dc_waitForDPStatusInitialize(); });
}

// A failed wait gives null and leaves the buffer cleared: there is no text to copy.
char* dc_waitForDPStatus(DCHclient* handle) {
  if (handle == nullptr) return nullptr;
  memset(dc_waitForDPStatusBUF, 0, sizeof dc_waitForDPStatusBUF);
  const char* text = handle->dc_waitForDPStatus();
  if (text == nullptr) return nullptr;
  snprintf(dc_waitForDPStatusBUF, sizeof dc_waitForDPStatusBUF, "%s", text);
  return dc_waitForDPStatusBUF;
}

int dc_waitForDPStatusDestroy(DCHclient* handle) {
  if (handle == nullptr) return 1;
  int result = doneOrFailed(handle->dc_waitForDPStatusDestroy());
  delete handle;
  return result;
}
