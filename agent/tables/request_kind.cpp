#include "request_kind.h"

#include <cstring>

#include "pxraf.h"

requestKind requestKindOf(const char* situation, int sampleType, const char* instructions) {
  if (situation != nullptr && situation[0] != '\0') {
    switch (sampleType) {
      case IntfSampleType_exception: return kPolledSituation;
      case IntfSampleType_event: return kEventSituation;
      case IntfSampleType_demand: return kSituationCurrent;
      default: return kUnrecognised;
    }
  }
  if (instructions != nullptr && std::strstr(instructions, "HIST(") != nullptr) return kHistory;
  switch (sampleType) {
    case IntfSampleType_demand: return kReport;
    case IntfSampleType_exception: return kPeriodicReport;
    default: return kUnrecognised;
  }
}
