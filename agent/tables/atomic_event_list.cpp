#include "atomic_event_list.h"

#include "bsv1.h"

atomicEventList::atomicEventList(atomicSituationEntry* owner) : owner_(owner) {
  BSV1_Time now;
  BSV1_GetTime(&now);
  lastTimeStamp_ = static_cast<unsigned long>(now.seconds);
}
