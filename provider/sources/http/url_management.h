// The management of monitored URLs: the process's URL management block, and the
// entries of the URLs with their owners, added, found and deleted. The action
// workers, the configuration requests, the URL configuration file and the HTTP
// client side all work through these.
#pragma once

#include "url_records.h"

struct DPAB;

// Creates the URL management block once (nothing when the anchor has one), from
// the settings, and loads the URL configuration file into it.
void ZEVP_InitializeUMB(DPAB* anchor);

// Adds a monitored URL with its first owner (alias may be null): the new entry;
// null when the URL is monitored already (its requester is not added as an owner),
// is refused (too long, holds a control character) or no block is available.
// alreadyMonitored, when not null, receives 1 for a URL monitored already, else 0.
URLrequestEntry* ZEVP_AllocateHTTPrequestBlock(DPAB* anchor, const char* url, const char* alias, int interval,
                                               const char* user, int cachePercent, int* alreadyMonitored);

// Sets the entry's status interval and sample set size from the requested interval.
void ZEVP_DetermineURLsampleSetValues(URLrequestEntry* entry, int interval);

// 1 when the entry is still in the URL list, else 0.
int ZEVP_FindURE(URLrequestEntry* entry);

// For an entry its caller has unlinked, holding the URL list lock: moves the
// client tasks' cursor past it, sends its removal row (keyed by URL and owner) and
// frees it, or leaves it to the last thread that holds it.
void ZEVP_DeleteHTTPrequestBlock(DPAB* anchor, URLrequestEntry* entry, const char* ownerName);

namespace zevp {

// The process's URL management block (the anchor's urlManagement), or null.
URLmanagementBlock* CurrentURLmanagement();

// The block as a request from outside URL monitoring reaches it (adding or stopping
// URLs, marking the configuration changed): the manager does not free the block
// while such a request holds it. block() is null when none is available.
class URLmanagementRequest {
 public:
  explicit URLmanagementRequest(DPAB* anchor);
  URLmanagementRequest();  // the process's block
  ~URLmanagementRequest();
  URLmanagementRequest(const URLmanagementRequest&) = delete;
  URLmanagementRequest& operator=(const URLmanagementRequest&) = delete;
  URLmanagementBlock* block() const { return block_; }

 private:
  URLmanagementBlock* block_;
};

// A thread that uses an entry outside the URL list lock holds it meanwhile: a
// deletion then unlinks it at once but frees it only when the last holder lets it
// go. HoldURE gives 1 (and a hold) when the entry is still in the list, else 0.
int HoldURE(URLrequestEntry* entry);
void LetGoURE(URLrequestEntry* entry);

// The entry under the client tasks' shared cursor, held, with the cursor moved to
// its successor; null once the walk is complete.
URLrequestEntry* TakeEntryFromCursor(URLmanagementBlock* block);

// Wakes the manager early (a client task ended its pass, or ended); the wake is
// kept until the manager looks, so none is lost.
void WakeHTTPmanager(URLmanagementBlock* block);

// Tells the DCH update task that a URL's status may be ready to present.
void SignalURLoutput(URLmanagementBlock* block);

// The end of the block: ends the activity subtasks, takes the block off the anchor
// (once no outside request holds it), frees every remaining entry (sending no rows)
// and the block. Once the client tasks and the DCH update task have ended.
void ReleaseURLmanagement(DPAB* anchor);

}  // namespace zevp
