#include "atomic_situation_entry.h"

#include <cstdio>
#include <new>

#include "bsv1.h"
#include "dch/channel_functions.h"
#include "trc1.h"

TRC_UNIT();

atomicSituationEntry::atomicSituationEntry(const char* situation, int columnNumber, pthread_mutex_t* listLock)
    : columnNumber_(columnNumber), listLock_(listLock) {
  std::snprintf(situation_, sizeof situation_, "%s", situation != nullptr ? situation : "");
  BSV1_Time now;
  BSV1_GetTime(&now);
  creationTime_ = static_cast<unsigned long>(now.seconds);
}

atomicSituationEntry::~atomicSituationEntry() = default;

atomicEventList* atomicSituationEntry::addAtomicEventList() {
  atomicEventList_.reset(new (std::nothrow) atomicEventList(this));
  if (atomicEventList_ != nullptr)
    TRC(TRC_DETAIL, "Allocated atomicEventList @%p for situation <%s>", static_cast<void*>(atomicEventList_.get()),
        situation_);
  return atomicEventList_.get();
}

void atomicSituationEntry::removeAtomicEventList() {
  if (ZEVA_GetLock(listLock_, this) != 0) {
    TRC(TRC_ERROR, "Error: unable to acquire lock");
    return;
  }
  if (atomicEventList_ != nullptr) {
    TRC(TRC_DETAIL, "Deleting atomicEventList @%p for situation <%s>", static_cast<void*>(atomicEventList_.get()),
        situation_);
    atomicEventList_.reset();
  }
  ZEVA_ReleaseLock(listLock_, this);
}
