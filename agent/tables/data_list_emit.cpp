// A sample of the table hands the stored rows to the sampling request.

#include "data_list.h"
#include "row_offer.h"
#include "trc1.h"

TRC_UNIT();

int dataList::emitToRAF(Pxraf& request, const char* originNode, unsigned long lastSampleTime) {
  if (!getLock()) return 0;
  int64_t now = rowStoreNow();
  if (lastSampleTime == 0) {
    TRC(TRC_DETAIL, "Calling cleanupEntries for request @%p. originNode<%s>", static_cast<void*>(&request),
        originNode != nullptr ? originNode : "");
    cleanupLocked(sampleTypeLocked(), 2, now);
  }
  int taken = sampleSetType_ == 1 ? emitSetsLocked(request, originNode, now)
                                  : emitRowsLocked(request, originNode, lastSampleTime, now);
  releaseLock();
  return taken;
}

int dataList::emitSetsLocked(Pxraf& request, const char* originNode, int64_t now) {
  int TTL = TTL_;
  int taken = 0;
  for (beginEndList& set : sets_) {
    int64_t age = now - set.timeStamp();
    if (age > TTL) {
      TRC(TRC_DETAIL, "Ignoring sample set @%p with age=%d, TTL=%d", static_cast<void*>(&set), static_cast<int>(age),
          TTL);
      continue;
    }
    taken += set.emitToRAF(request, originNode, rowSize_);
  }
  return taken;
}

int dataList::emitRowsLocked(Pxraf& request, const char* originNode, unsigned long lastSampleTime, int64_t now) {
  bool expires = sampleTypeLocked() == 'S';
  int TTL = TTL_;
  int taken = 0;
  for (dataListEntry& entry : rows_) {
    if (lastSampleTime != 0 && lastSampleTime > static_cast<unsigned long>(entry.timeStamp)) continue;
    int64_t age = now - entry.timeStamp;
    if (expires && age > TTL) {
      TRC(TRC_DETAIL, "Ignoring row @%p with age=%d", static_cast<void*>(&entry), static_cast<int>(age));
      continue;
    }
    if (entry.row == nullptr) {
      TRC(TRC_ERROR, "Error: no row data exists for originNode <%s>", originNode != nullptr ? originNode : "");
      continue;
    }
    rowOffer offered = offerRow(request, entry.row.get(), rowSize_, originNode);
    if (offered == rowOffer::failed) break;
    if (offered == rowOffer::taken) ++taken;
  }
  return taken;
}
