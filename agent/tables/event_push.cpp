#include "event_push.h"

#include "table_manager.h"

int PushToEventRequests(TableManager* manager, void* rows, int count) {
  int result = 0;
  manager->lock();
  PxrafListIter walk(manager->RequestList());
  while (Pxraf* request = walk.Next()) {
    Pxraf* pinned = Pxraf::UseHandle(request->Handle());
    if (pinned == nullptr) continue;
    if (pinned->_get_sampletype() == IntfSampleType_event) {
      pinned->AddData(rows, count);
      if (int dispatched = pinned->Dispatch()) result = dispatched;
      pinned->ClearCount();
    }
    pinned->Drop();
  }
  manager->unlock();
  return result;
}
