// A URL activity subtask's life: its library client, the wait for work, each
// request served and completed for its requester, and its end.
#include <cstring>
#include <string>

#include "activity_request.h"
#include "http_trace.h"
#include "url_management.h"
#include "url_output.h"
#include "url_rows.h"
#include "vmo1.h"

TRC_UNIT();

namespace {

constexpr char kBrowserIdentification[] = "Mozilla/4.0 (compatible; MSIE 5.5; Windows NT 4.0)";
constexpr uint32_t kOptionFlags = 0x1 | 0x4 | 0x8;

bool HasWork(URLactivityTaskBlock* block) {
  BSV1_GetLock(&block->BlockLock);
  bool work = block->Entry != nullptr;
  BSV1_ReleaseLock(&block->BlockLock);
  return work;
}

// Waits, on the work mutex it holds, for work; false once the subtask is to end.
bool AwaitWork(URLactivityTaskBlock* block) {
  for (;;) {
    if (block->State == ZEVP_SUBTASK_END_REQUESTED || block->GaveUp) return false;
    if (HasWork(block)) return true;
    pthread_cond_wait(&block->WorkCondition, &block->WorkMutex);
  }
}

// The outcome goes to the entry and its requester, unless the request was
// abandoned or its URL is gone; then the subtask is free again.
void Complete(zevp::SubtaskRequest& request) {
  URLactivityTaskBlock* block = request.block;
  URLrequestEntry* entry = request.entry;
  URLmanagementBlock* umb = request.umb;
  const bool monitored = ZEVP_FindURE(entry) != 0;
  if (!block->Abandoned && monitored) {
    BSV1_GetLock(&entry->EntryLock);
    if (block->RecordStatus) zevp::RecordRequestStatus(entry, block->Status);
    if (entry->ObjRequestOutstanding > 0) --entry->ObjRequestOutstanding;
    if (block->Counted && entry->ObjConfirmCount-- == 1) BSV1_GetTime(&entry->ResponseEndTime);
    BSV1_ReleaseLock(&entry->EntryLock);
    if (block->OutputContent && block->Status == 0 && request.contentRead)
      ZEVP_OutputURLobject(entry, block->URL, request.content.data(), static_cast<int32_t>(request.content.size()));
    if (block->Counted) {
      pthread_mutex_lock(&entry->ConfirmMutex);
      pthread_cond_signal(&entry->ConfirmCondition);
      pthread_mutex_unlock(&entry->ConfirmMutex);
    }
    if (std::strcmp(block->URL, entry->URL) != 0 && !request.redirected)
      ZEVP_DoObjectUpdateDCH(entry->URL, entry->URLlength, block->URL, static_cast<int32_t>(std::strlen(block->URL)),
                             block->ContentLength);
  }
  if (monitored) {
    BSV1_GetLock(&entry->EntryLock);
    const bool lastOutstanding = entry->ObjRequestOutstanding == 0;
    BSV1_ReleaseLock(&entry->EntryLock);
    if (lastOutstanding) zevp::SignalURLoutput(umb);
  }
  BSV1_GetLock(&block->BlockLock);
  block->URL[0] = '\0';
  block->Entry = nullptr;
  if (block->State != ZEVP_SUBTASK_END_REQUESTED) block->State = ZEVP_SUBTASK_FREE;
  BSV1_ReleaseLock(&block->BlockLock);
  zevp::LetGoURE(entry);
  pthread_mutex_lock(&umb->FreeSubtaskMutex);
  pthread_cond_signal(&umb->FreeSubtaskCondition);
  pthread_mutex_unlock(&umb->FreeSubtaskMutex);
}

void Serve(URLactivityTaskBlock* block, URLmanagementBlock* umb, int* reconnects) {
  zevp::SubtaskRequest request;
  request.block = block;
  request.umb = umb;
  request.reconnects = reconnects;
  BSV1_GetLock(&block->BlockLock);
  if (block->State != ZEVP_SUBTASK_END_REQUESTED) block->State = ZEVP_SUBTASK_WORKING;
  request.entry = block->Entry;
  BSV1_ReleaseLock(&block->BlockLock);
  BSV1_GetLock(&request.entry->EntryLock);
  const bool http10 = request.entry->HTTP11 == 0;
  BSV1_ReleaseLock(&request.entry->EntryLock);
  if (http10 && block->ProtocolVersion == VMO1_HTTP11) {
    block->ProtocolVersion = VMO1_HTTP10;
    ZEVP_DoHTTPconnect(&block->Client, block->ProtocolVersion);
  }
  zevp::PerformRequest(request);
  Complete(request);
}

}  // namespace

namespace zevp {

void RecordRequestStatus(URLrequestEntry* entry, int32_t status) {
  entry->RequestStatus = status;
  VMO1_StatusDescription description;
  URLstatusDescription& kept = entry->RequestDescription;
  std::memset(&kept, 0, sizeof kept);
  if (status == 0 || VMO1_QueryStatus(VMO1_STATUS_DESCRIPTION_SIZE, &description, status) != 0) return;
  kept.HTTPcode = description.httpCode;
  kept.TextLength = std::min(description.textLength, ZEVP_URL_STATUS_TEXT_MAX);
  std::memcpy(kept.Text, description.text, static_cast<size_t>(kept.TextLength));
}

}  // namespace zevp

void ZEVP_DoHTTPconnect(VMO1_Client* client, int32_t version) {
  VMO1_DeleteClient(*client);
  *client = nullptr;
  int32_t status = VMO1_NewClient(client, version, 0, 0);
  if (status != 0) {
    HTTP_TRC(TRC_ERROR, "Error: Unable to create VMO1 client stc=%x, using default", static_cast<unsigned>(status));
    *client = nullptr;
    return;
  }
  VMO1_Options options;
  if (VMO1_ClientOptions(*client, VMO1_OPTIONS_SIZE, nullptr, &options) != 0) return;
  options.flags |= kOptionFlags;
  std::memset(options.userAgent, 0, sizeof options.userAgent);
  std::memcpy(options.userAgent, kBrowserIdentification, sizeof kBrowserIdentification);
  // No subtask stays on a request longer than its requester waits for it.
  URLmanagementBlock* umb = zevp::CurrentURLmanagement();
  options.timeLimit = umb != nullptr ? umb->MaxReplyWait : 0;
  VMO1_ClientOptions(*client, VMO1_OPTIONS_SIZE, &options, nullptr);
}

void* ZEVP_DoHTTPactivity(void* argument) {
  auto* block = static_cast<URLactivityTaskBlock*>(argument);
  URLmanagementBlock* umb = zevp::CurrentURLmanagement();
  pthread_mutex_lock(&block->WorkMutex);
  block->ThreadId = BSV1_ThreadID();
  block->ProtocolVersion = VMO1_HTTP11;
  ZEVP_DoHTTPconnect(&block->Client, block->ProtocolVersion);
  int reconnects = 0;
  // The work mutex is let go while a request is served: a requester waiting for
  // the request holds its entry's confirm mutex, which the completion takes.
  while (AwaitWork(block)) {
    pthread_mutex_unlock(&block->WorkMutex);
    Serve(block, umb, &reconnects);
    pthread_mutex_lock(&block->WorkMutex);
  }
  VMO1_DeleteClient(block->Client);
  block->Client = nullptr;
  HTTP_TRC(TRC_DETAIL, "URL activity subtask @%p ended. Thread: %lX", static_cast<void*>(block),
           block->ThreadId.load());
  pthread_mutex_unlock(&block->WorkMutex);
  // The last act: from here on the block may be freed.
  block->State = ZEVP_SUBTASK_ENDED;
  return nullptr;
}
