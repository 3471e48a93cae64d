// The de-duplication window of the actions of an atomic situation.
#include <cstdint>
#include <cstring>

#include "atomic_situation_list.h"
#include "bsv1.h"
#include "trc1.h"

TRC_UNIT();

namespace {

unsigned long nowSeconds() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  return static_cast<unsigned long>(now.seconds);
}

// Both differences as unsigned 32-bit numbers: an interval below 10 seconds makes the
// window endless.
bool windowOver(unsigned long now, unsigned long windowStart, int interval) {
  uint32_t elapsed = static_cast<uint32_t>(now) - static_cast<uint32_t>(windowStart);
  uint32_t window = static_cast<uint32_t>(interval) - 10u;
  return elapsed > window;
}

atomicAdmission admitInWindow(atomicSituationEntry* entry, int interval, const char* atomicValue) {
  atomicEventList* events = entry->getAtomicEventList();
  if (events == nullptr) events = entry->addAtomicEventList();
  if (events == nullptr) return atomicAdmission::act;
  unsigned long now = nowSeconds();
  if (windowOver(now, events->getLastTimeStamp(), interval)) {
    events->cleanupEntries();
    events->setLastTimeStamp(now);
  }
  if (atomicValue == nullptr || atomicValue[0] == '\0') {
    TRC(TRC_ERROR, "Error: No atomic value was supplied for situation <%s> column number <%d>", entry->getSituation(),
        entry->getColumnNumber());
    return atomicAdmission::noValue;
  }
  TRC(TRC_DETAIL, "Processing atomic value <%s>", atomicValue);
  // A cut value could suppress another value that shares its first characters.
  if (std::strlen(atomicValue) > atomicEventEntry::kMaxValueLength) {
    TRC(TRC_ERROR, "Warning: atomic value <%s> of situation <%s> is longer than %d characters and is not de-duplicated",
        atomicValue, entry->getSituation(), atomicEventEntry::kMaxValueLength);
    return atomicAdmission::act;
  }
  if (atomicEventEntry* seen = events->findEntry(atomicValue)) {
    seen->setTimeStamp(events->getLastTimeStamp());
    TRC(TRC_DETAIL, "Duplicate action request for atomic attribute value <%s> node @%p, skipping action processing",
        atomicValue, static_cast<void*>(seen));
    return atomicAdmission::duplicate;
  }
  if (atomicEventEntry* added = events->addEntry(atomicValue))
    TRC(TRC_DETAIL, "Successfully added atomicEventEntry object @%p for atomic attribute value <%s>",
        static_cast<void*>(added), atomicValue);
  else
    TRC(TRC_ERROR, "Error: unable to add atomicEventEntry object for attribute value <%s>", atomicValue);
  return atomicAdmission::act;
}

}  // namespace

void atomicSituationList::recordInterval(atomicSituationEntry* entry, int interval) {
  if (entry == nullptr) return;
  if (getLock() != 0) {
    TRC(TRC_ERROR, "Error: unable to acquire lock");
    return;
  }
  entry->setSituationInterval(interval);
  TRC(TRC_DETAIL, "Atomic situation <%s> column number <%d> has an interval of %d seconds", entry->getSituation(),
      entry->getColumnNumber(), interval);
  releaseLock();
}

atomicAdmission atomicSituationList::admitAction(atomicSituationEntry* entry, int interval, const char* atomicValue) {
  if (entry == nullptr) return atomicAdmission::act;
  if (getLock() != 0) {
    TRC(TRC_ERROR, "Error: unable to acquire lock");
    return atomicAdmission::act;
  }
  atomicAdmission admission = admitInWindow(entry, interval, atomicValue);
  releaseLock();
  return admission;
}
