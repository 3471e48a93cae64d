// Framework requests that the sample registry holds back until their source comes
// online, and what the registry needs of them.
#pragma once

#include <cstdint>

// The request side of a deferral (the user-table agent): when the source comes
// online the registry asks it to sample the subnode again.
class deferredRequester {
 public:
  // Marks the request's subnode for its next sample; 0 when the request has that
  // subnode, 1 otherwise. requestKind: 0 sampling, 1 event monitoring.
  virtual int redriveRequest(const char* subnodeName, const char* tableName, int requestKind) = 0;

 protected:
  ~deferredRequester() = default;
};

// One slot of a source's deferral queue; a null request object marks a free slot.
struct deferQueue_t {
  deferredRequester* requestObject = nullptr;
  uint32_t requestHandle = 0;  // the framework's handle of the request
  int requestKind = 0;
};

// Asks the request of an occupied slot to redrive, while the framework keeps the
// request alive (its handle pinned). False when the framework no longer has the
// request: it has ended, and the slot is stale.
bool redriveDeferred(const deferQueue_t& slot, const char* subnodeName, const char* tableName);

// True when the framework no longer has the request of an occupied slot.
bool deferredRequestGone(const deferQueue_t& slot);
