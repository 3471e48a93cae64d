#include "sample_set.h"

#include "nothrow_append.h"
#include "row_offer.h"
#include "trc1.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

constexpr int kSetEnd = 16;

}  // namespace

int beginEndList::addEntry(int controlField, rowBuffer row, int64_t now) {
  if (appendOrNull(records_, beginEndListEntry{controlField, std::move(row)}) == nullptr) {
    TRC(TRC_ERROR, "Error: allocating beginEndListEntry");
    return 1;
  }
  if (controlField == kSetEnd) {
    completeSet_ = true;
    timeStamp_ = now;
  }
  return 0;
}

int beginEndList::emitToRAF(Pxraf& request, const char* originNode, int rowSize) {
  if (!completeSet_) {
    TRC(TRC_DETAIL, "beginEndList<@%p> sample set not yet complete.", static_cast<void*>(this));
    return 0;
  }
  int taken = 0;
  for (beginEndListEntry& record : records_) {
    if (record.row == nullptr) {
      TRC(TRC_DETAIL, "beginEndListEntry[%p] had no data values.", static_cast<void*>(&record));
      continue;
    }
    rowOffer offered = offerRow(request, record.row.get(), rowSize, originNode);
    if (offered == rowOffer::failed) break;
    if (offered == rowOffer::taken) ++taken;
  }
  return taken;
}

void beginEndList::printList(int rowSize) const {
  TRC(TRC_DETAIL, ">> beginEndList @%p completeSet <%d> timeStamp <%lld> noOfElements <%d>",
      static_cast<const void*>(this), completeSet_ ? 1 : 0, static_cast<long long>(timeStamp_), noOfElements());
  for (const beginEndListEntry& record : records_) {
    TRC(TRC_DETAIL, "   beginEndListEntry @%p ControlField <%x> emptyRow <%d>", static_cast<const void*>(&record),
        record.controlField, record.row == nullptr ? 1 : 0);
    if (record.row != nullptr && TRC_ON(TRC_DETAIL)) ZEV0_PrintDump(record.row.get(), 0, rowSize);
  }
}
