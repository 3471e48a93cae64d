#include "deferred_request.h"

#include "pxraf.h"

bool redriveDeferred(const deferQueue_t& slot, const char* subnodeName, const char* tableName) {
  Pxraf* pinned = Pxraf::UseHandle(slot.requestHandle);
  if (pinned == nullptr) return false;
  slot.requestObject->redriveRequest(subnodeName, tableName, slot.requestKind);
  pinned->Drop();
  return true;
}

bool deferredRequestGone(const deferQueue_t& slot) {
  Pxraf* pinned = Pxraf::UseHandle(slot.requestHandle);
  if (pinned == nullptr) return true;
  pinned->Drop();
  return false;
}
