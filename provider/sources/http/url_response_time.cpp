#include <algorithm>
#include <numeric>

#include "url_output.h"

void ZEVP_CalculateURLresponseTime(const BSV1_Time* start, const BSV1_Time* end, URLrequestEntry* entry) {
  if (start == nullptr || end == nullptr || entry == nullptr || entry->CurrentRespTimeArray == nullptr ||
      entry->SampleSetSize < 1)
    return;
  const int64_t sample = (end->seconds - start->seconds) * 1000 +
                         (static_cast<int64_t>(end->nanoseconds) - start->nanoseconds) / 1000000;
  int32_t* ring = entry->CurrentRespTimeArray;
  const int32_t size = entry->SampleSetSize;
  ring[std::clamp(entry->CurrentSampleIndex, 0, size - 1)] = static_cast<int32_t>(sample);
  entry->MaxRespTime = *std::max_element(ring, ring + size);
  entry->TotalRespTime = std::accumulate(ring, ring + size, 0);
  entry->SamplesTaken += 1;
  entry->AvgRespTime = entry->TotalRespTime / std::min(entry->SamplesTaken, size);
}
