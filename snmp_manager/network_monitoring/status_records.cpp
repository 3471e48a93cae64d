#include "status_records.h"

#include <pthread.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

#include "managed_node_entry.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"
#include "zevs/network_records.h"

namespace {

constexpr int32_t kRecordSize = 1024;

// A record: its link, its state byte ('0' free, '1' in use), then the texts.
struct StatusBlock {
  StatusBlock* next;
  char state;
  char record[kRecordSize - sizeof(StatusBlock*) - 1];
};

pthread_mutex_t CPstatusLock = PTHREAD_MUTEX_INITIALIZER;
StatusBlock* pCPstatus = nullptr;  // CPstatusLock

StatusBlock* BlockOf(char* record) {
  return reinterpret_cast<StatusBlock*>(record - offsetof(StatusBlock, record));
}

}  // namespace

char* ZEVS_GetNextCPstatus() {
  pthread_mutex_lock(&CPstatusLock);
  StatusBlock** at = &pCPstatus;
  while (*at != nullptr && (*at)->state != '0') at = &(*at)->next;
  if (*at == nullptr) {
    *at = static_cast<StatusBlock*>(ZEV0_GetStorage(kRecordSize));
    if (*at != nullptr) (*at)->next = nullptr;
  }
  StatusBlock* block = *at;
  if (block != nullptr) {
    block->state = '1';
    std::memset(block->record, 0, sizeof block->record);
  }
  pthread_mutex_unlock(&CPstatusLock);
  return block != nullptr ? block->record : nullptr;
}

char* ZEVS_FormatCPnotifyStatus(char statusLetter, ManagedNodeEntry* node) {
  char* record = ZEVS_GetNextCPstatus();
  if (record == nullptr) return nullptr;
  if (node->ManagedNodeName == nullptr) ZEV0_ConvertAddrToName(&node->agent, &node->ManagedNodeName, 1);
  bool active = statusLetter == 'A';
  const char* texts[] = {node->ManagedNodeName != nullptr ? node->ManagedNodeName : node->addressText,
                         node->addressText, active ? "Active" : "Unknown",
                         node->ManagedNodeTypeText != nullptr ? node->ManagedNodeTypeText : active ? "IP Node" : "Unknown",
                         node->ManagedNodeDesc != nullptr ? node->ManagedNodeDesc : "Unavailable"};
  size_t at = 0;
  size_t room = sizeof(StatusBlock::record);
  for (const char* text : texts) {
    std::string value = text != nullptr ? text : "";
    size_t length = std::min(value.size(), room - at - 1);
    std::memcpy(record + at, value.data(), length);
    record[at + length] = '\0';
    at += length + 1;
    if (at >= room) break;
  }
  return record;
}

void ZEVS_ReleaseCPstatus(char* record) {
  if (record == nullptr) return;
  pthread_mutex_lock(&CPstatusLock);
  BlockOf(record)->state = '0';
  pthread_mutex_unlock(&CPstatusLock);
}

void* ZEVS_NotifyNodeStatusChanged(void* handle, int, char*) { return handle; }

int* ZEVS_AccumNodeStatusCount(void*, int, int) { return nullptr; }

void ZEVS_FreeCPstatusPool() {
  pthread_mutex_lock(&CPstatusLock);
  while (pCPstatus != nullptr) {
    StatusBlock* next = pCPstatus->next;
    ZEV0_FreeStorage(&pCPstatus);
    pCPstatus = next;
  }
  pthread_mutex_unlock(&CPstatusLock);
}
