// The URL activity subtasks: a pool of threads, each with a client of the HTTP
// library, that carry out every HTTP request of URL monitoring. A requester
// reserves a free subtask, hands it one URL, and for a page waits for its
// completion. The subtask follows redirections, answers a proxy's Basic challenge,
// falls back to HTTP 1.0 per URL, reads the page into the URL's page buffer and
// records the outcome.
//
// Locks: the pool lock, then a block lock (locator); a block lock alone; the
// entry lock alone; a waiting requester holds the entry's confirm mutex from
// before its work signal to the end of its wait. A subtask looks for work and
// waits for it under its work mutex, which it holds from before it can be found
// in the pool, so no work signal is lost; it lets the mutex go while it serves.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>

#include "bsv1.h"
#include "url_records.h"
#include "vmo1.h"

// Request kinds.
constexpr int32_t ZEVP_URL_OBJECT_REQUEST = 1;
constexpr int32_t ZEVP_URL_PAGE_REQUEST = 2;

// Subtask states.
enum ZEVP_SubtaskState : int32_t {
  ZEVP_SUBTASK_FREE = 0,
  ZEVP_SUBTASK_RESERVED = 1,
  ZEVP_SUBTASK_WORKING = 2,
  ZEVP_SUBTASK_END_REQUESTED = 4,
  ZEVP_SUBTASK_ENDED = 5,
};

// The longest URL a subtask requests.
constexpr int ZEVP_URL_REQUEST_MAX = 1024;

struct URLactivityTaskBlock {
  URLactivityTaskBlock* next;
  std::atomic<int32_t> State;  // changed under BlockLock, but for the end
  int32_t RequestKind;
  std::atomic<int32_t> Abandoned;  // 1: the requester stopped waiting, or the URL is gone
  int32_t Counted;       // the completion lowers ObjConfirmCount and wakes the requester
  int32_t RecordStatus;  // the completion stores the status in the entry
  int32_t OutputContent;
  char URL[ZEVP_URL_REQUEST_MAX + 4];  // the URL requested; redirections replace it
  VMO1_Activity Activity;
  int32_t Status;
  VMO1_HeaderDictionary* Headers;
  int32_t ContentLength;
  int32_t EntityInformation;
  int32_t ProtocolVersion;  // of Client: VMO1_HTTP10 or VMO1_HTTP11
  URLrequestEntry* Entry;   // the entry served, held; null while free
  pthread_mutex_t WorkMutex;
  pthread_cond_t WorkCondition;
  std::atomic<unsigned long> ThreadId;
  BSV1_Lock BlockLock;  // State, URL, Entry
  VMO1_Client Client;   // null: the library's default client
  int32_t GaveUp;       // reconnects failed: the subtask ends at its next look for work
};

// Adds one subtask to the pool once its thread runs.
void ZEVP_CreateHTTPclientWorkTask();

// A subtask reserved for the caller; waits for one to become free and, once a
// whole free-subtask wait passed without one, makes another.
URLactivityTaskBlock* ZEVP_LocateFreeActivitySubtask();

// Hands the reserved subtask a request of kind for the entry's URL (url): 1 when
// dispatched and, with counted and wait, completed within the reply wait; else 0,
// and the subtask is free again when the request was not dispatched.
int ZEVP_DispatchActivitySubtask(URLactivityTaskBlock* block, URLrequestEntry* entry, const char* url, int kind,
                                 int counted, int wait, int recordStatus);

// (Re)makes a subtask's library client for the version, with its options: the
// browser identification, and the reply wait as the time limit of a request. A
// client that cannot be made is null: the library's default client.
void ZEVP_DoHTTPconnect(VMO1_Client* client, int32_t version);

// The subtask's thread routine; the argument is its block.
void* ZEVP_DoHTTPactivity(void* block);

namespace zevp {

// Stores the status of the entry's page request with the library's description of
// it, which rows and the statistics file show (the caller holds the entry lock).
void RecordRequestStatus(URLrequestEntry* entry, int32_t status);

// Ends every subtask of the pool (each after the request in hand) and frees the
// blocks.
void EndActivitySubtasks(URLmanagementBlock* block);

}  // namespace zevp
