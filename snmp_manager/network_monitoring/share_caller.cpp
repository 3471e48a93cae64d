#include "share_caller.h"

#include <sys/socket.h>

#include <ctime>

#include "bsv1.h"
#include "network_configuration_block.h"
#include "network_monitor_seams.h"
#include "trc1.h"
#include "zev0/ber.h"
#include "zev0/sockets.h"
#include "zev0/storage.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace {

constexpr int32_t kBufferSize = 1600;
constexpr int64_t kIdleTakeOverSeconds = 1800;

// This thread's block: its own, an idle one taken over, or a new one; marked in use.
ShareCallerBlock* TakeCallerBlock(NetworkConfigurationBlock* block) {
  unsigned long self = BSV1_ThreadID();
  int64_t now = std::time(nullptr);
  BSV1_GetLock(&block->shareCallerLock);
  ShareCallerBlock* found = nullptr;
  for (ShareCallerBlock* caller = block->shareCallers; caller != nullptr && found == nullptr; caller = caller->next) {
    if (caller->ownerThread == self) {
      TRC(TRC_DETAIL, "Existing SCB @%p found for thread %lX", static_cast<void*>(caller), self);
      found = caller;
    }
  }
  for (ShareCallerBlock* caller = block->shareCallers; caller != nullptr && found == nullptr; caller = caller->next) {
    if (caller->inUse == 0 && now - caller->lastUse > kIdleTakeOverSeconds) {
      TRC(TRC_DETAIL, "Existing SCB for thread %lX reused by thread %lX", caller->ownerThread, self);
      caller->ownerThread = self;
      found = caller;
    }
  }
  if (found == nullptr) {
    found = static_cast<ShareCallerBlock*>(ZEV0_GetStorage(sizeof(ShareCallerBlock)));
    if (found != nullptr) {
      sockaddr_in local{};
      *found = ShareCallerBlock{nullptr, 0, ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &local, 0), self, now,
                                static_cast<char*>(ZEV0_GetStorage(kBufferSize))};
      TRC(TRC_STORAGE, "Allocated ShareCallerBlock @%p length %d for thread %lX sock %d", static_cast<void*>(found),
          static_cast<int>(sizeof(ShareCallerBlock)), self, found->socket);
      ShareCallerBlock** tail = &block->shareCallers;
      while (*tail != nullptr) tail = &(*tail)->next;
      *tail = found;
    }
  }
  if (found != nullptr) found->inUse = 1;
  BSV1_ReleaseLock(&block->shareCallerLock);
  return found;
}

}  // namespace

char* ZEVS_GetMIB2systemDesc(const sockaddr_in* address, const char* community) {
  NetworkConfigurationBlock* block = NCB.load();
  if (block == nullptr || address == nullptr) return nullptr;
  ShareCallerBlock* caller = TakeCallerBlock(block);
  if (caller == nullptr) return nullptr;
  char* description = nullptr;
  if (caller->socket >= 0 && caller->buffer != nullptr) {
    sockaddr_in agent = *address;
    agent.sin_port = htons(161);
    int32_t length = 0;
    int tag = zevs::MonitorSeams().retrieveOneMIBvariable(caller->socket, caller->buffer, &agent,
                                                          community != nullptr ? community : block->defaultCommunity,
                                                          "1.3.6.1.2.1.1.1.0", &description, &length);
    if (tag != ZEV0_ASN_OCTETSTRING) ZEV0_FreeStorage(&description);
    if (description != nullptr) TRC(TRC_DETAIL, "Received Agent SysDesc ->%s", description);
  }
  BSV1_GetLock(&block->shareCallerLock);
  caller->lastUse = std::time(nullptr);
  caller->inUse = 0;
  BSV1_ReleaseLock(&block->shareCallerLock);
  return description;
}
