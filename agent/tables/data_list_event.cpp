// An event row is pushed at once to every open request of its table, through the
// table's manager.
#include <cstring>
#include <new>

#include "data_list.h"
#include "trc1.h"
#include "zev_dorvan_manager.h"

TRC_UNIT();

// The row is pushed from a copy, after the list's lock is released: the push walks the
// table's requests under the manager's lock, which is then never taken under a row
// list's.
int dataList::emitEvent(zev_dorvan_manager* manager, const char* originNode) {
  if (!getLock()) return 0;
  rowBuffer event;
  if (manager != nullptr && lastEntry_ != nullptr && lastEntry_->row != nullptr) {
    setOriginNode(lastEntry_->row.get(), rowSize_, originNode);
    event.reset(new (std::nothrow) char[rowSize_]);
    if (event != nullptr)
      std::memcpy(event.get(), lastEntry_->row.get(), rowSize_);
    else
      TRC(TRC_ERROR, "Error: allocating %d bytes for the event row", rowSize_);
  } else {
    TRC(TRC_ERROR, "Error: invalid pointer - <@%p> <@%p>", static_cast<void*>(manager),
        static_cast<void*>(lastEntry_));
  }
  releaseLock();
  if (event != nullptr) manager->EventArrived(event.get(), rowSize_);
  return 0;
}
