#include "metafile_hand_over.h"

#include <pthread.h>

#include "dp_anchor.h"
#include "metafile_request_area.h"
#include "process_entry.h"
#include "trc1.h"

TRC_UNIT();

namespace {

// Posts the request; false when the client is letting go of its connection.
bool post(MFRA* area, ProcessEntry* client, ProcessEntry* requester, const char* metafileName) {
  pthread_mutex_lock(&client->mutex);
  bool posted = area->Leaving == 0;
  if (posted) {
    area->MetafileName = metafileName;
    area->Requester = requester;
    area->Status = ZEVP_MFRA_REQUEST_PENDING;
    pthread_cond_signal(&client->condition);
  }
  pthread_mutex_unlock(&client->mutex);
  return posted;
}

// The status of the fetch: posted, then answered on the requester's entry. The
// answer is given under the requester's mutex, which is taken here after the post
// and never together with the client's: an answer that came first is seen, and
// no wake-up is lost.
int32_t requestAndWait(MFRA* area, ProcessEntry* client, ProcessEntry* requester, const char* metafileName) {
  if (!post(area, client, requester, metafileName)) return ZEVP_MFRA_CONNECTION_BROKEN;
  pthread_mutex_lock(&requester->mutex);
  int32_t status;
  while ((status = area->Status) == ZEVP_MFRA_REQUEST_PENDING && area->Requester == requester)
    pthread_cond_wait(&requester->condition, &requester->mutex);
  pthread_mutex_unlock(&requester->mutex);
  return status;
}

int32_t fetchOnEntry(DPAB* anchor, MFRA* area, ProcessEntry* client, const char* metafileName) {
  if (ProcessEntry* own = ZEVP_LocateOwnProcessEntry(anchor)) return requestAndWait(area, client, own, metafileName);
  BSV1_GetLock(&anchor->statPELock);
  int32_t status = requestAndWait(area, client, anchor->pStatPE, metafileName);
  BSV1_ReleaseLock(&anchor->statPELock);
  return status;
}

}  // namespace

namespace zevp {

bool FetchMetafile(DPAB* anchor, MFRA* area, const char* metafileName) {
  BSV1_GetLock(&area->Lock);
  ProcessEntry* client = area->Owner;
  if (client == nullptr) {
    BSV1_ReleaseLock(&area->Lock);
    TRC(TRC_DETAIL, "Metafile %s not fetched: no metafile server connected", metafileName);
    return false;
  }
  int32_t status = fetchOnEntry(anchor, area, client, metafileName);
  if (status != ZEVP_MFRA_RECEIVED) {
    TRC(TRC_ERROR, "Metafile %s transfer from remote server unsuccessful. Status->%d", metafileName, status);
    ZEVP_FreeMetafileRecords(&area->Records);
    BSV1_ReleaseLock(&area->Lock);
    return false;
  }
  TRC(TRC_DETAIL, "Metafile %s successfully retrieved from remote server. Record count %d", metafileName,
      area->Records.count);
  return true;
}

void AttachClient(MFRA* area, ProcessEntry* client) {
  BSV1_GetLock(&area->Lock);
  ZEVP_FreeMetafileRecords(&area->Records);
  area->MetafileName = nullptr;
  area->Requester = nullptr;
  area->Status = ZEVP_MFRA_REQUEST_PENDING;
  area->Leaving = 0;
  area->Owner = client;
  BSV1_ReleaseLock(&area->Lock);
}

bool RequestPosted(const MFRA* area) { return area->Requester != nullptr; }

const char* PostedRequest(const MFRA* area) { return area->MetafileName; }

void AnswerRequest(MFRA* area, int32_t status) {
  ProcessEntry* requester = area->Requester;
  if (requester == nullptr) return;
  pthread_mutex_lock(&requester->mutex);
  area->Status = status;
  area->MetafileName = nullptr;
  area->Requester = nullptr;
  pthread_cond_signal(&requester->condition);
  pthread_mutex_unlock(&requester->mutex);
}

void DetachClient(MFRA* area, ProcessEntry* client) {
  area->Leaving = 1;
  if (area->Requester != nullptr) {
    ZEVP_FreeMetafileRecords(&area->Records);
    AnswerRequest(area, ZEVP_MFRA_CONNECTION_BROKEN);
  }
  pthread_mutex_unlock(&client->mutex);
  // A requester between taking the lock and posting sees Leaving and lets go.
  BSV1_GetLock(&area->Lock);
  area->Owner = nullptr;
  ZEVP_FreeMetafileRecords(&area->Records);
  BSV1_ReleaseLock(&area->Lock);
}

}  // namespace zevp
