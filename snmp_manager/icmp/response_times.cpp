#include "response_times.h"

#include "zevs/network_records.h"

void ZEVS_UpdateResponseTimeStatus(NetworkEntry* network, int32_t index, uint32_t milliseconds) {
  if (network == nullptr) return;
  if (index < 0 || index > 254 || index >= network->hostRange) index = 0;
  BSV1_GetLock(&network->lock);
  if (network->nodeStatus != nullptr && network->minimumResponseTimes != nullptr &&
      network->currentResponseTimes != nullptr && network->maximumResponseTimes != nullptr) {
    if (network->nodeStatus[index] == '0' && index > 0) ++network->seenHostCount;
    network->nodeStatus[index] = 'A';
    network->currentResponseTimes[0] = milliseconds;
    if (milliseconds < network->minimumResponseTimes[index]) network->minimumResponseTimes[index] = milliseconds;
    network->currentResponseTimes[index] = milliseconds;
    if (milliseconds > network->maximumResponseTimes[index]) network->maximumResponseTimes[index] = milliseconds;
  }
  BSV1_ReleaseLock(&network->lock);
}
