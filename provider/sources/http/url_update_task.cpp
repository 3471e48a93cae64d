// The DCH update task: the statuses the client tasks leave become Managed_URL
// rows, one per owner, once no object request of their URL is outstanding.
//
// A status is taken from its entry under the URL list lock (which guards the
// owners) and the entry lock, and its rows are sent without either, under the
// anchor's HTTP row output lock; a URL whose removal row went meanwhile gets none.
#include <cstring>
#include <string>
#include <vector>

#include "attribute_entry.h"
#include "dp_anchor.h"
#include "http_trace.h"
#include "integer_values.h"
#include "source_entry.h"
#include "url_management.h"
#include "url_output.h"
#include "url_row_values.h"
#include "url_rows.h"
#include "zev0/threads.h"
#include "zev0/timestamp.h"

TRC_UNIT();

namespace {

struct OwnerNames {
  std::string user;
  std::string alias;
};

// What one check of a URL shows, the same for each of its owners.
struct PresentedStatus {
  std::string url, status, title, serverType, version;
  int32_t pageSize = 0, current = 0, maximum = 0, average = 0, objects = 0, objectSize = 0, samples = 0,
          interval = 0;
  std::vector<OwnerNames> owners;
};

// Under the URL list lock and the entry lock: takes the status when it is ready,
// with the response time of a successful check added to the URL's samples.
bool TakeReadyStatus(URLrequestEntry* entry, PresentedStatus* row) {
  if (entry->ValidURLstat != 1 || entry->ObjRequestOutstanding >= 1) return false;
  const bool timed = entry->RequestStatus == 0 && entry->PageLength != 0 && entry->SampleSetSize > 0;
  if (timed) {
    ZEVP_CalculateURLresponseTime(&entry->RequestStartTime, &entry->ResponseEndTime, entry);
    row->current = entry->CurrentRespTimeArray[entry->CurrentSampleIndex];
    entry->CurrentSampleIndex = (entry->CurrentSampleIndex + 1) % entry->SampleSetSize;
  }
  entry->ValidURLstat = 0;
  row->url = entry->URL;
  row->status = zevp::URLstatusValue(entry->RequestStatus, entry->RequestDescription);
  row->title.assign(entry->PageTitle, strnlen(entry->PageTitle, sizeof entry->PageTitle));
  row->serverType = entry->ServerTypeLength > 0 ? std::string(entry->ServerType) : std::string(" ");
  row->version = entry->HTTP11 != 0 ? "1.1" : "1.0";
  row->pageSize = entry->PageLength;
  row->maximum = entry->MaxRespTime;
  row->average = entry->AvgRespTime;
  row->objects = entry->PageObjectCount;
  row->objectSize = entry->TotalObjectSize;
  row->samples = entry->SamplesTaken;
  row->interval = entry->StatusInterval;
  for (const URLownerEntry* owner = entry->Owners; owner != nullptr; owner = owner->next)
    row->owners.push_back({owner->User, owner->Alias});
  return true;
}

std::string TimeStampNow() {
  char stamp[ZEV0_PLOVEN_TIME_BLOCK_SIZE] = {};
  char text[32] = {};
  ZEV0_GetPlovenTime(stamp);
  ZEV0_PlovenTimeToString(stamp, text);
  return text;
}

void FillRow(SourceEntry* source, const URLmanagementBlock* block, const PresentedStatus& row,
             const OwnerNames& owner, const std::string& stamp) {
  std::string user = owner.user;
  if (user.empty()) {
    HTTP_TRC(TRC_DETAIL, "No user name value specified for URL <%s>", row.url.c_str());
    user = " ";
  }
  const struct {
    const char* name;
    const std::string* text;
    int32_t number;
  } values[] = {
      {"URL", &row.url, 0},
      {"Status", &row.status, 0},
      {"Status_Timestamp", &stamp, 0},
      {"Page_Title", &row.title, 0},
      {"Page_Size", nullptr, row.pageSize},
      {"Current_Response_Time", nullptr, row.current},
      {"Maximum_Response_Time", nullptr, row.maximum},
      {"Average_Response_Time", nullptr, row.average},
      {"Page_Objects", nullptr, row.objects},
      {"Total_Object_Size", nullptr, row.objectSize},
      {"User_Name", &user, 0},
      {"URL_Alias", &owner.alias, 0},
      {"Server_Type", &row.serverType, 0},
      {"Total_Samples_Taken", nullptr, row.samples},
      {"Status_Interval", nullptr, row.interval},
      {"HTTP_Version", &row.version, 0},
  };
  const std::string isp(block->ISPname, static_cast<size_t>(block->ISPnameLength));
  BSV1_GetLock(&source->AttributeLock);
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next) {
    attribute->ActualValSize = 0;
    if (std::strcmp(attribute->AttrName, "ISP_Name") == 0) zevp::SetRowText(attribute, isp);
    for (const auto& value : values) {
      if (std::strcmp(attribute->AttrName, value.name) != 0) continue;
      if (value.text != nullptr)
        zevp::SetRowText(attribute, *value.text);
      else
        zevp::StoreInteger(attribute, value.number);
    }
  }
  BSV1_ReleaseLock(&source->AttributeLock);
}

void Present(DPAB* anchor, URLmanagementBlock* block, URLrequestEntry* entry, const PresentedStatus& row) {
  SourceEntry* source = anchor->managedURLSource;
  const std::string stamp = TimeStampNow();
  BSV1_GetLock(&anchor->httpRowOutputLock);
  for (const OwnerNames& owner : row.owners) {
    if (entry->RemovalSent != 0) break;
    FillRow(source, block, row, owner, stamp);
    zevp::SendURLrow(anchor, source);
  }
  BSV1_ReleaseLock(&anchor->httpRowOutputLock);
}

// One walk over the URLs; each entry held while it is looked at.
void PresentReadyStatuses(DPAB* anchor, URLmanagementBlock* block) {
  std::vector<URLrequestEntry*> held;
  BSV1_GetLock(&block->URLListLock);
  for (URLrequestEntry* entry = block->URLs; entry != nullptr; entry = entry->next) {
    ++entry->Holds;
    held.push_back(entry);
  }
  BSV1_ReleaseLock(&block->URLListLock);
  for (URLrequestEntry* entry : held) {
    PresentedStatus row;
    BSV1_GetLock(&block->URLListLock);
    BSV1_GetLock(&entry->EntryLock);
    const bool ready = entry->Unlinked == 0 && TakeReadyStatus(entry, &row);
    BSV1_ReleaseLock(&entry->EntryLock);
    BSV1_ReleaseLock(&block->URLListLock);
    if (ready) Present(anchor, block, entry, row);
    zevp::LetGoURE(entry);
  }
}

void MarkEnded(URLmanagementBlock* block) {
  pthread_mutex_lock(&block->OutputMutex);
  block->UpdateTaskRunning = 0;
  pthread_cond_broadcast(&block->OutputCondition);
  pthread_mutex_unlock(&block->OutputMutex);
}

}  // namespace

void* ZEVP_DoHTTPupdateDCH(void* argument) {
  auto* anchor = static_cast<DPAB*>(argument);
  URLmanagementBlock* block = anchor->urlManagement;
  if (anchor->managedURLSource == nullptr) {
    HTTP_TRC(TRC_ERROR, "Error: HTTP Managed URL application has not been initialized.");
    MarkEnded(block);
    return nullptr;
  }
  HTTP_TRC(TRC_DETAIL, ">>>>> HTTP DCH update task started. Thread: %lX", BSV1_ThreadID());
  pthread_mutex_lock(&block->OutputMutex);
  while (block->UpdateTaskStopping == 0) {
    const int64_t seen = block->OutputSignals;
    pthread_mutex_unlock(&block->OutputMutex);
    PresentReadyStatuses(anchor, block);
    pthread_mutex_lock(&block->OutputMutex);
    while (block->UpdateTaskStopping == 0 && block->OutputSignals == seen)
      pthread_cond_wait(&block->OutputCondition, &block->OutputMutex);
  }
  pthread_mutex_unlock(&block->OutputMutex);
  HTTP_TRC(TRC_DETAIL, ">>>>> HTTP DCH update task ended");
  // The last act: from here on the manager may free the block.
  MarkEnded(block);
  return nullptr;
}

namespace zevp {

bool StartURLupdateTask(DPAB* anchor, URLmanagementBlock* block) {
  pthread_mutex_lock(&block->OutputMutex);
  block->UpdateTaskRunning = 1;
  block->UpdateTaskStopping = 0;
  pthread_mutex_unlock(&block->OutputMutex);
  pthread_t thread;
  if (ZEV0_CreateThread(ZEVP_DoHTTPupdateDCH, anchor, PTHREAD_CREATE_DETACHED, &thread) == 0) return true;
  HTTP_TRC(TRC_ERROR, "***** HTTP DCH update task not started");
  MarkEnded(block);
  return false;
}

void EndURLupdateTask(URLmanagementBlock* block) {
  pthread_mutex_lock(&block->OutputMutex);
  block->UpdateTaskStopping = 1;
  pthread_cond_broadcast(&block->OutputCondition);
  while (block->UpdateTaskRunning != 0) pthread_cond_wait(&block->OutputCondition, &block->OutputMutex);
  pthread_mutex_unlock(&block->OutputMutex);
}

}  // namespace zevp
