#include "console_area.h"

#include <fcntl.h>
#include <unistd.h>

#include <new>

#include "console_verbs.h"
#include "dp_anchor.h"
#include "trc1.h"
#include "zev0/storage.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace zevp {

Console_Communication_Area* NewConsoleArea() {
  void* storage = ZEV0_GetStorage(sizeof(Console_Communication_Area));
  if (storage == nullptr) return nullptr;
  auto* area = new (storage) Console_Communication_Area();
  ZEV0_InitializeMutex(&area->mutex);
  ZEV0_InitializeCondVar(&area->condition);
  area->commandIndex = -1;
  area->consoleSocket = -1;
  if (pipe2(area->wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) area->wakePipe[0] = area->wakePipe[1] = -1;
  TRC(TRC_STORAGE, "Allocated Console_Communication_Area @%p", static_cast<void*>(area));
  return area;
}

void ReleaseConsoleArea(DPAB* anchor) {
  Console_Communication_Area* area = anchor->consoleArea.exchange(nullptr);
  if (area == nullptr) return;
  ZEV0_FreeStorage(&area->commandBuffer);
  for (int end : area->wakePipe)
    if (end >= 0) close(end);
  pthread_cond_destroy(&area->condition);
  pthread_mutex_destroy(&area->mutex);
  TRC(TRC_STORAGE, "Freeing Console_Communication_Area @%p", static_cast<void*>(area));
  area->~Console_Communication_Area();
  ZEV0_FreeStorage(&area);
}

bool DeliverConsoleCommand(Console_Communication_Area* area, char* buffer, int32_t receivingType,
                           const sockaddr_in& client, const std::shared_ptr<ConsoleCommandWaiter>& waiter) {
  pthread_mutex_lock(&area->mutex);
  bool free = area->serviceEnded == 0 && area->commandBuffer == nullptr &&
              area->commandStatus != ZEVP_CONSOLE_IN_PROGRESS;
  if (free) {
    area->commandStatus = ZEVP_CONSOLE_IN_PROGRESS;
    // Its index already, for the busy answers before the service takes it.
    int32_t verb = ConsoleVerbIndex(SplitConsoleCommand(buffer).verb);
    area->commandIndex = ServedConsoleVerb(verb) ? verb : -1;
    area->receivingType = receivingType;
    area->commandBuffer = buffer;
    area->clientAddress = client;
    area->waiter = waiter;
    pthread_cond_signal(&area->condition);
  }
  pthread_mutex_unlock(&area->mutex);
  return free;
}

}  // namespace zevp
