#include "atomic_event_entry.h"

#include <cstdio>

#include "bsv1.h"

atomicEventEntry::atomicEventEntry(const char* atomicValue) {
  std::snprintf(atomicValue_, sizeof atomicValue_, "%s", atomicValue != nullptr ? atomicValue : "");
  newtime();
}

void atomicEventEntry::newtime() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  timeStamp_ = static_cast<unsigned long>(now.seconds);
}
