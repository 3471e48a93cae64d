// The process's URL management block: made once from the settings when the HTTP
// data provider starts, freed when its manager ends.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "dp_anchor.h"
#include "http_trace.h"
#include "isp_name.h"
#include "process_entry.h"
#include "url_activity.h"
#include "url_config_file.h"
#include "url_entry_storage.h"
#include "url_management.h"
#include "zev0/env.h"
#include "zev0/storage.h"
#include "zev0/text.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace zevp {

std::atomic<int> HTTPdebugTraces{0};

namespace {

std::atomic<URLmanagementBlock*> processBlock{nullptr};
// Held by a request from outside while it uses the block, and by its release while
// it takes the block off the anchor. Recursive: an outside request may lead to
// another (adding the URLs of the configuration file).
std::recursive_mutex requestAccess;

constexpr int kDefaultSampleSetPeriod = 900;
constexpr int kDefaultMinSetSamples = 3;
constexpr int kDefaultURLsPerClientTask = 250;

// A switch is on when its value begins with Y or y.
int SwitchSetting(const char* name, const char* defaultValue) {
  const char* value = ZEV0_GetEnv(name, defaultValue);
  return value != nullptr && (value[0] == 'Y' || value[0] == 'y') ? 1 : 0;
}

int NumberSetting(const char* name, const char* defaultValue) {
  const char* value = ZEV0_GetEnv(name, defaultValue);
  return std::atoi(value != nullptr ? value : defaultValue);
}

char* OwnCopy(const char* text) {
  if (text == nullptr) return nullptr;
  auto* copy = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(std::strlen(text)) + 1));
  if (copy != nullptr) std::strcpy(copy, text);
  return copy;
}

// The sample set settings, which every URL's interval and sample count divide by:
// a minimum count below 1, or a period that gives a default interval below 1,
// takes the defaults.
void ReadSampleSetSettings(URLmanagementBlock* block) {
  block->SampleSetPeriod = NumberSetting("ZEVP_URL_DATASET_PERIOD", "900");
  block->MinSetSamples = NumberSetting("ZEVP_URL_DATASET_MIN_SAMPLES", "3");
  if (block->MinSetSamples < 1 || block->SampleSetPeriod / block->MinSetSamples < 1) {
    HTTP_TRC(TRC_ERROR, "*****URL sample set period %d with minimum samples %d invalid. Defaults %d and %d used",
             block->SampleSetPeriod, block->MinSetSamples, kDefaultSampleSetPeriod, kDefaultMinSetSamples);
    block->SampleSetPeriod = kDefaultSampleSetPeriod;
    block->MinSetSamples = kDefaultMinSetSamples;
  }
  block->DefaultSampleInterval = block->SampleSetPeriod / block->MinSetSamples;
  HTTP_TRC(TRC_DETAIL, "URL sample set period is %d seconds, minimum samples %d, default sample interval %d",
           block->SampleSetPeriod, block->MinSetSamples, block->DefaultSampleInterval);
}

void ReadSettings(URLmanagementBlock* block) {
  block->Debug = SwitchSetting("ZEVP_HTTP_DEBUG", "N");
  HTTPdebugTraces = block->Debug;
  block->MaxReplyWait = NumberSetting("ZEVP_URL_MAX_REPLY_WAIT", "45");
  HTTP_TRC(TRC_DETAIL, "Max URL reply wait is %d seconds", block->MaxReplyWait);
  block->MaxFreeSubtaskWait = NumberSetting("ZEVP_URL_MAX_FREE_SUBTASK_WAIT", "120");
  HTTP_TRC(TRC_DETAIL, "Max free URL subtask wait is %d seconds", block->MaxFreeSubtaskWait);
  block->ActivitySubtasks = NumberSetting("ZEVP_URL_INIT_TASKS", "3");
  HTTP_TRC(TRC_DETAIL, "Initial URL activity subtasks %d", block->ActivitySubtasks);
  block->PageObjectsReport = SwitchSetting("ZEVP_URL_PAGE_OBJECTS_REPORT", "Y");
  ReadSampleSetSettings(block);
  block->OutputStat = SwitchSetting("ZEVP_URL_OUTPUT_STAT", "N");
  block->OutputHTML = SwitchSetting("ZEVP_URL_OUTPUT_HTML", "N");
  block->OutputContent = SwitchSetting("ZEVP_URL_OUTPUT_CONTENT", "N");
  HTTP_TRC(TRC_DETAIL, "URL output statistics %d, HTML %d, content %d, page objects report %d", block->OutputStat,
           block->OutputHTML, block->OutputContent, block->PageObjectsReport);
  block->URLsPerClientTask = NumberSetting("ZEVP_URL_PER_CLIENT_TASK", "250");
  if (block->URLsPerClientTask < 1) {
    HTTP_TRC(TRC_ERROR, "*****URLs per HTTP client task %d invalid. Default %d used", block->URLsPerClientTask,
             kDefaultURLsPerClientTask);
    block->URLsPerClientTask = kDefaultURLsPerClientTask;
  }
  HTTP_TRC(TRC_DETAIL, "Max URL per HTTP client task is %d", block->URLsPerClientTask);
}

void SetOutputNames(URLmanagementBlock* block) {
  if (const char* directory = ZEV0_GetEnv("ZEVP_URL_OUTPUT_DIR", nullptr)) {
    char* copy = OwnCopy(directory);
    if (copy != nullptr) {
      char* checked = ZEV0_CheckPathSpec(copy);
      if (checked != copy) ZEV0_FreeStorage(&copy);
      block->OutputDirectory = checked;
    }
  }
  block->StatisticsFileName = ZEV0_ConstructFullyQualifiedName(block->OutputDirectory, "URLSTATS.csv");
  HTTP_TRC(TRC_DETAIL, "URL output directory %s, statistics file %s",
           block->OutputDirectory != nullptr ? block->OutputDirectory : "(none)",
           block->StatisticsFileName != nullptr ? block->StatisticsFileName : "(none)");
}

URLmanagementBlock* NewBlock(DPAB* anchor) {
  void* storage = ZEV0_GetStorage(sizeof(URLmanagementBlock));
  if (storage == nullptr) return nullptr;
  auto* block = new (storage) URLmanagementBlock();
  ReadSettings(block);
  std::string isp = DetermineISPname();
  std::memcpy(block->ISPname, isp.data(), isp.size());
  block->ISPnameLength = static_cast<int32_t>(isp.size());
  SetOutputNames(block);
  block->ProxyUser = OwnCopy(ZEV0_GetEnv("ZEVP_HTTP_PROXY_USERID", nullptr));
  block->ProxyPassword = OwnCopy(ZEV0_GetEnv("ZEVP_HTTP_PROXY_PASSWORD", nullptr));
  for (BSV1_Lock* lock :
       {&block->ClientTaskLock, &block->URLListLock, &block->SubtaskListLock, &block->ConfigurationLock})
    BSV1_InitializeLock(lock);
  ZEV0_InitializeMutex(&block->FreeSubtaskMutex);
  ZEV0_InitializeCondVar(&block->FreeSubtaskCondition);
  ZEV0_InitializeMutex(&block->OutputMutex);
  ZEV0_InitializeCondVar(&block->OutputCondition);
  block->Anchor = anchor;
  return block;
}

}  // namespace

URLmanagementBlock* CurrentURLmanagement() { return processBlock.load(); }

URLmanagementRequest::URLmanagementRequest(DPAB* anchor) {
  requestAccess.lock();
  block_ = anchor != nullptr ? anchor->urlManagement : nullptr;
}

URLmanagementRequest::URLmanagementRequest() {
  requestAccess.lock();
  block_ = processBlock.load();
}

URLmanagementRequest::~URLmanagementRequest() { requestAccess.unlock(); }

void WakeHTTPmanager(URLmanagementBlock* block) {
  ProcessEntry* manager = block->Manager;
  if (manager == nullptr) return;
  pthread_mutex_lock(&manager->mutex);
  block->ManagerWakeRequested = 1;
  pthread_cond_signal(&manager->condition);
  pthread_mutex_unlock(&manager->mutex);
}

void SignalURLoutput(URLmanagementBlock* block) {
  pthread_mutex_lock(&block->OutputMutex);
  ++block->OutputSignals;
  pthread_cond_broadcast(&block->OutputCondition);
  pthread_mutex_unlock(&block->OutputMutex);
}

void ReleaseURLmanagement(DPAB* anchor) {
  URLmanagementBlock* block = anchor->urlManagement;
  if (block == nullptr) return;
  EndActivitySubtasks(block);
  {
    URLmanagementRequest last(anchor);
    processBlock = nullptr;
    anchor->urlManagement = nullptr;
  }
  HTTP_TRC(TRC_DETAIL, ">>>>> Freeing URL management global storage");
  while (URLrequestEntry* entry = block->URLs) {
    block->URLs = entry->next;
    FreeURLrequestEntry(entry);
  }
  HTTP_TRC(TRC_DETAIL, "Freeing URLmanagementBlock @%p", static_cast<void*>(block));
  for (BSV1_Lock* lock :
       {&block->ClientTaskLock, &block->URLListLock, &block->SubtaskListLock, &block->ConfigurationLock})
    BSV1_DestroyLock(lock);
  pthread_mutex_destroy(&block->FreeSubtaskMutex);
  pthread_cond_destroy(&block->FreeSubtaskCondition);
  pthread_mutex_destroy(&block->OutputMutex);
  pthread_cond_destroy(&block->OutputCondition);
  ZEV0_FreeStorage(&block->ConfigFileName);
  ZEV0_FreeStorage(&block->OutputDirectory);
  ZEV0_FreeStorage(&block->StatisticsFileName);
  ZEV0_FreeStorage(&block->ProxyUser);
  ZEV0_FreeStorage(&block->ProxyPassword);
  block->~URLmanagementBlock();
  ZEV0_FreeStorage(&block);
}

}  // namespace zevp

void ZEVP_InitializeUMB(DPAB* anchor) {
  if (anchor == nullptr || anchor->urlManagement != nullptr) return;
  URLmanagementBlock* block = zevp::NewBlock(anchor);
  if (block == nullptr) {
    HTTP_TRC(TRC_ERROR, "***** Unable to obtain storage for URLmanagementBlock");
    return;
  }
  {
    std::lock_guard<std::recursive_mutex> published(zevp::requestAccess);
    anchor->urlManagement = block;
    zevp::processBlock = block;
  }
  HTTP_TRC(TRC_DETAIL, "URLmanagementBlock @%p initialized", static_cast<void*>(block));
  ZEVP_ProcessURLconfigFile(block);
  HTTP_TRC(TRC_DETAIL, "Total of %d managed URL(s) loaded at HTTP DP initialization", block->ManagedURLCount);
}
