#include "network_work_file.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "debug_switches.h"
#include "network_configuration_block.h"
#include "network_file_fields.h"
#include "network_list.h"
#include "network_masks.h"
#include "network_summary_row.h"
#include "zev0/text_files.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace zevs {

const char kNetworkFileHeader[] =
    "Network Mask,Network Address,Managed,Managed Interval,Current Response Time,Min Response Time,Max Response "
    "Time,Node Status";

}  // namespace zevs

namespace {

// Letters are kept for the networks of fewer than 256 host indexes.
constexpr int32_t kLetteredRangeLimit = 256;
constexpr int64_t kInt32Max = 2147483647;
constexpr int64_t kUint32Max = 4294967295;

// What one line of the file says of a network.
struct NetworkRecord {
  uint32_t mask = 0;
  uint32_t address = 0;
  // Present as far as the line goes: agent-found, state, poll interval, current,
  // minimum, maximum.
  std::vector<int64_t> values;
  std::string letters;
};

struct ValueField {
  int64_t minimum;
  int64_t maximum;
};
constexpr ValueField kValueFields[] = {
    {0, 1},                                 // agent-found flag
    {0, ZEVS_NETWORK_EXCLUDED_BY_SUBNET},   // state
    {0, kInt32Max},                         // poll interval
    {0, kUint32Max},                        // current response time
    {0, kUint32Max},                        // minimum
    {0, kUint32Max},                        // maximum
};
constexpr size_t kValueCount = sizeof kValueFields / sizeof kValueFields[0];

bool ValidLetters(const std::string& letters) { return letters.find_first_not_of("0AI") == std::string::npos; }

bool ParseRecord(const std::string& line, NetworkRecord* record) {
  std::vector<std::string> fields = zevs::SplitFields(line, ',');
  while (!fields.empty() && fields.back().empty()) fields.pop_back();
  if (fields.size() < 2 || !zevs::ParseDottedAddress(fields[0], &record->mask) ||
      !zevs::ParseDottedAddress(fields[1], &record->address))
    return false;
  size_t field = 2;
  for (; field < fields.size() && field - 2 < kValueCount; ++field) {
    int64_t value = 0;
    const ValueField& kind = kValueFields[field - 2];
    if (!zevs::ParseWholeNumber(fields[field], kind.minimum, kind.maximum, &value)) return false;
    record->values.push_back(value);
  }
  if (field < fields.size()) {
    record->letters = fields[field++];
    if (!ValidLetters(record->letters)) return false;
  }
  return field == fields.size();
}

// Puts what the record kept into the new entry; under its lock.
void Restore(NetworkEntry* entry, const NetworkRecord& record) {
  const std::vector<int64_t>& values = record.values;
  if (values.size() > 0) entry->agentFound = static_cast<int32_t>(values[0]);
  if (values.size() > 1) entry->state = static_cast<int32_t>(values[1]);
  if (values.size() > 2) entry->pollInterval = static_cast<int32_t>(values[2]);
  if (values.size() > 3) entry->currentResponseTimes[0] = static_cast<uint32_t>(values[3]);
  if (values.size() > 4) entry->minimumResponseTimes[0] = static_cast<uint32_t>(values[4]);
  if (values.size() > 5) entry->maximumResponseTimes[0] = static_cast<uint32_t>(values[5]);
  if (entry->hostRange >= kLetteredRangeLimit) return;
  const int32_t hosts = std::min<int32_t>(entry->hostRange - 1, static_cast<int32_t>(record.letters.size()));
  for (int32_t host = 1; host <= hosts; ++host) {
    entry->nodeStatus[host] = record.letters[static_cast<size_t>(host - 1)];
    if (entry->nodeStatus[host] != '0') ++entry->seenHostCount;
  }
  ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "Network node count %d", entry->seenHostCount);
}

bool WriteLines(FILE* file, NetworkConfigurationBlock* block) {
  if (std::fprintf(file, "%s\n", zevs::kNetworkFileHeader) < 0) return false;
  for (NetworkEntry* entry = block->networks; entry != nullptr; entry = entry->next) {
    BSV1_GetLock(&entry->lock);
    const std::string line = zevs::NetworkFileLine(*entry);
    BSV1_ReleaseLock(&entry->lock);
    if (std::fprintf(file, "%s\n", line.c_str()) < 0) return false;
  }
  return true;
}

}  // namespace

namespace zevs {

std::string NetworkFileLine(const NetworkEntry& entry) {
  char numbers[160];
  std::snprintf(numbers, sizeof numbers, "%s,%s,%d,%d,%d,%u,%u,%u,", DottedMask(entry.networkMask).c_str(),
                DottedAddress(entry.networkAddress).c_str(), entry.agentFound, entry.state, entry.pollInterval,
                entry.currentResponseTimes[0], entry.minimumResponseTimes[0], entry.maximumResponseTimes[0]);
  std::string line = numbers;
  if (entry.hostRange < kLetteredRangeLimit && entry.hostRange > 1)
    line.append(entry.nodeStatus + 1, static_cast<size_t>(entry.hostRange - 1));
  return line + ",";
}

int ReadNetworkLines(NetworkConfigurationBlock* block, FILE* file) {
  int entered = 0;
  std::string line;
  bool tooLong = false;
  while (block->shutdown.load() == 0 && zev0::NextTextLine(file, &line, kNetworkFileLineMax, &tooLong)) {
    if (tooLong) {
      TRC(TRC_ERROR, "***** Network configuration record longer than %d characters ignored",
          static_cast<int>(kNetworkFileLineMax));
      continue;
    }
    if (line.empty() || line[0] < '0' || line[0] > '9') continue;
    ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "NETCNFG %d ->%s", entered + 1, line.c_str());
    NetworkRecord record;
    if (!ParseRecord(line, &record)) {
      TRC(TRC_ERROR, "***** Network configuration record ignored: %s", line.c_str());
      continue;
    }
    NetworkEntry* entry = ZEVS_UpdateNetworkListEntry(&record.address, record.mask, 1);
    if (entry == nullptr) continue;
    ++entered;
    BSV1_GetLock(&entry->lock);
    Restore(entry, record);
    BSV1_ReleaseLock(&entry->lock);
    ZEVS_UpdateNetworkInfoToDCH(block, entry);
  }
  return entered;
}

}  // namespace zevs

void ZEVS_WriteNetConfigToExt(NetworkConfigurationBlock* block) {
  const char* path = block->networkWorkFileName;
  if (path == nullptr) return;
  const std::string newPath = std::string(path) + ".new";
  BSV1_GetLock(&block->networkListLock);
  FILE* file = std::fopen(newPath.c_str(), "we");
  if (file == nullptr) {
    BSV1_ReleaseLock(&block->networkListLock);
    TRC(TRC_ERROR, "***** Network configuration file %s open failed, errno %d", newPath.c_str(), errno);
    return;
  }
  if (!WriteLines(file, block)) {
    TRC(TRC_ERROR, "***** Network configuration file %s write failed, errno %d", newPath.c_str(), errno);
    std::fclose(file);
    std::remove(newPath.c_str());
  } else if (!zev0::ReplaceWithNewFile(file, newPath.c_str(), path)) {
    TRC(TRC_ERROR, "***** Network configuration file %s not replaced, errno %d", path, errno);
  }
  BSV1_ReleaseLock(&block->networkListLock);
}

void ZEVS_ReadNetConfigFromExt(NetworkConfigurationBlock* block) {
  const char* path = block->networkWorkFileName;
  FILE* file = path != nullptr ? std::fopen(path, "re") : nullptr;
  if (file == nullptr) {
    TRC(TRC_ERROR, "Network configuration file %s open failed, ErrorText <%s>. Load network configuration bypassed",
        path != nullptr ? path : "", std::strerror(errno));
    return;
  }
  const int entered = zevs::ReadNetworkLines(block, file);
  std::fclose(file);
  ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "%d network records loaded from network configuration file", entered);
}
