// The process-wide pool of UDP sockets that DCH clients borrow for one call each.
#include "udp_socket_pool.h"

#include <pthread.h>
#include <sys/socket.h>

#include <cerrno>
#include <new>

#include "bsv1.h"
#include "dch/channel_functions.h"
#include "dch/ipc_sock.h"
#include "trc1.h"
#include "zev0/sockets.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

constexpr int kPoolWaitSeconds = 10;
constexpr unsigned kPauseAfterTimeoutSeconds = 3;
// A sender that keeps flooding a lent socket must not keep its borrower draining.
constexpr int kMaxDrainedDatagrams = 1024;

struct UDPSockElement {
  short inUse;
  int sockFD;
  // The last borrower sent without reading a reply after: something may still come.
  bool drainDue;
  // Kept with the socket, so that a borrower sets it only when it needs another.
  int receiveTimeoutMs;
};

// Statically initialised: the pool's lock is usable before and after the pool is made.
pthread_mutex_t UDPSockLock = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t UDPSockCond = PTHREAD_COND_INITIALIZER;
UDPSockElement* UDPSockList = nullptr;
int poolSize = 0;
// Set once the pool has been made (or tried): it is made only once per process.
int _envDCHUDPInit = 0;

int openPoolSocket() {
  sockaddr_in address{};
  return ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &address, 0);
}

int firstFreeElement() {
  for (int element = 0; element < poolSize; ++element) {
    if (UDPSockList[element].inUse == 0) return element;
  }
  return -1;
}

// A reply that came after its caller stopped reading would otherwise be the next
// borrower's answer.
void drain(int sockFD) {
  char discard[16];
  int drained = 0;
  while (drained < kMaxDrainedDatagrams && recv(sockFD, discard, sizeof discard, MSG_DONTWAIT) >= 0) ++drained;
  if (drained > 0) TRC(TRC_DETAIL, "UDP socket %d: %d late datagrams discarded", sockFD, drained);
}

// Under the lock. The new socket is opened while the old one still holds its port, so
// that it cannot get that port (a failed open is tried again at the next borrow).
void replaceSpoiled(UDPSockElement& element) {
  int fresh = openPoolSocket();
  TRC(TRC_DETAIL, "UDP socket %d given up on a reply: replaced by socket %d", element.sockFD, fresh);
  ZEV0_CloseTheSocket(element.sockFD);
  element.sockFD = fresh;
  element.drainDue = false;
  element.receiveTimeoutMs = IPCSOCK_RECEIVE_TIMEOUT_NOT_SET;
}

// Under the lock: the first free element, waiting while none is. -1 when the wait failed;
// the lock is then held only when *locked says so.
int waitForFreeElement(const void* tag, bool* locked) {
  int element;
  while ((element = firstFreeElement()) < 0) {
    int rc = ZEV0_ConditionTimedWait(&UDPSockCond, &UDPSockLock, kPoolWaitSeconds);
    if (rc == 0) continue;
    if (rc != ETIMEDOUT) {
      TRC(TRC_ERROR, "Error: pthread_cond_wait failed. rc=%d errno=%d", rc, errno);
      return -1;
    }
    TRC(TRC_DETAIL, "Wait timeout on UDP sock pool - errno=%d", errno);
    if (ZEVA_ReleaseLock(&UDPSockLock, tag) != 0) continue;
    BSV1_Sleep(kPauseAfterTimeoutSeconds);
    if (ZEVA_GetLock(&UDPSockLock, tag) != 0) {
      TRC(TRC_ERROR, "Error: unable to re-acquire lock");
      *locked = false;
      return -1;
    }
  }
  return element;
}

}  // namespace

int UDPSockPool::make(int count) {
  if (_envDCHUDPInit != 0) return UDPSockList != nullptr ? 0 : 1;
  _envDCHUDPInit = 1;
  UDPSockElement* list = count > 0 ? new (std::nothrow) UDPSockElement[count] : nullptr;
  if (list == nullptr) {
    TRC(TRC_ERROR, "Error: allocation of %d UDPSockElement failed", count);
    return 1;
  }
  for (int element = 0; element < count; ++element) {
    list[element].inUse = 0;
    list[element].sockFD = openPoolSocket();
    list[element].drainDue = false;
    list[element].receiveTimeoutMs = IPCSOCK_RECEIVE_TIMEOUT_NOT_SET;
  }
  // Published under the lock: a transport of another kind may be asking holds() meanwhile.
  ZEVA_GetLock(&UDPSockLock, nullptr);
  UDPSockList = list;
  poolSize = count;
  ZEVA_ReleaseLock(&UDPSockLock, nullptr);
  return 0;
}

int UDPSockPool::borrow(const void* tag, int* receiveTimeoutMs) {
  if (ZEVA_GetLock(&UDPSockLock, tag) != 0) {
    TRC(TRC_ERROR, "Error: pthread_cond_lock failed. errno=%d", errno);
    return IPCSOCK_NO_SOCKET;
  }
  // Without a pool a borrower would wait for ever.
  if (poolSize == 0) {
    TRC(TRC_ERROR, "Error: there is no UDP socket pool to borrow from");
    ZEVA_ReleaseLock(&UDPSockLock, tag);
    return IPCSOCK_NO_SOCKET;
  }
  bool locked = true;
  int element = waitForFreeElement(tag, &locked);
  int sockFD = IPCSOCK_NO_SOCKET;
  bool drainDue = false;
  if (element >= 0) {
    UDPSockElement& lent = UDPSockList[element];
    lent.inUse = 1;
    // A socket that failed to open when the pool was made gets another chance.
    if (lent.sockFD < 0) {
      lent.sockFD = openPoolSocket();
      lent.receiveTimeoutMs = IPCSOCK_RECEIVE_TIMEOUT_NOT_SET;
    }
    sockFD = lent.sockFD;
    *receiveTimeoutMs = lent.receiveTimeoutMs;
    drainDue = lent.drainDue;
    lent.drainDue = false;
  }
  if (locked) ZEVA_ReleaseLock(&UDPSockLock, tag);
  if (sockFD >= 0 && drainDue) drain(sockFD);
  return sockFD;
}

int UDPSockPool::giveBack(int sockFD, const void* tag, bool spoiled, bool sentSinceRead, int receiveTimeoutMs) {
  if (ZEVA_GetLock(&UDPSockLock, tag) != 0) {
    TRC(TRC_ERROR, "Error: pthread_cond_lock failed. errno=%d", errno);
    return 1;
  }
  bool found = false;
  for (int element = 0; element < poolSize && !found; ++element) {
    if (UDPSockList[element].sockFD != sockFD) continue;
    if (spoiled) {
      replaceSpoiled(UDPSockList[element]);
    } else {
      UDPSockList[element].drainDue = sentSinceRead;
      UDPSockList[element].receiveTimeoutMs = receiveTimeoutMs;
    }
    UDPSockList[element].inUse = 0;
    found = true;
  }
  ZEVA_ReleaseLock(&UDPSockLock, tag);
  if (!found) {
    TRC(TRC_ERROR, "Error: UDP socket %d not found.", sockFD);
    return 1;
  }
  int rc = pthread_cond_signal(&UDPSockCond);
  if (rc != 0) {
    TRC(TRC_ERROR, "Error: pthread_cond_signal failed. rc=%d errno=%d", rc, errno);
    return 1;
  }
  return 0;
}

bool UDPSockPool::holds(int sockFD) {
  // Better to leave an own socket open than to close one that others borrow.
  if (ZEVA_GetLock(&UDPSockLock, nullptr) != 0) return true;
  bool held = false;
  for (int element = 0; element < poolSize && !held; ++element) held = UDPSockList[element].sockFD == sockFD;
  ZEVA_ReleaseLock(&UDPSockLock, nullptr);
  return held;
}
