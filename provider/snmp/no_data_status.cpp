#include "no_data_status.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>

#include "attribute_entry.h"
#include "builtin_group.h"
#include "dch/dch_protocol.h"
#include "dch_work_queue.h"
#include "engine_routines.h"
#include "snmp_manager_model.h"
#include "source_entry.h"
#include "source_states.h"
#include "trc1.h"
#include "zev0/hostnames.h"

TRC_UNIT();

namespace {

using Slot = std::array<char, ZEVP_NODATA_SLOT_SIZE>;
constexpr char kDataAgain = '+';
constexpr char kSeparator[] = ",  ";

// The queue of the workers' statuses; ever set once the first came.
std::mutex NoDataQueueLock;
std::vector<Slot> queued;
bool everQueued = false;

struct NoDataAgentStatusEntry {
  std::string agentAndApplication;  // the slot's first 128 bytes
  std::vector<std::string> tables;  // without data, in the order they came
};

std::mutex NoDataStatusUpdateLock;
std::vector<NoDataAgentStatusEntry> entries;

void PutField(Slot& slot, int offset, int size, std::string_view text) {
  std::memcpy(slot.data() + offset, text.data(), std::min<size_t>(text.size(), size));
}

// The agent name as the agent-name attribute shows it: cut before ".<local domain>".
std::string ShortAgentName(const char* name) {
  std::string agent = name;
  const char* domain = ZEV0_GetLocalDomainName();
  if (domain != nullptr && domain[0] != '\0') {
    size_t at = agent.find(std::string(".") + domain);
    if (at != std::string::npos) agent.erase(at);
  }
  return agent;
}

std::string TrailingBlanksRemoved(std::string_view text) {
  size_t end = text.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1));
}

std::string TableOf(const Slot& slot) {
  const char* table = slot.data() + ZEVP_NODATA_TABLE_OFFSET;
  return std::string(table, strnlen(table, ZEVP_NODATA_TABLE_FIELD));
}

// The names of a list "a,  b,  ", each without blanks around it.
std::vector<std::string> NamesOf(const char* list) {
  std::vector<std::string> names;
  std::string_view rest = list != nullptr ? list : "";
  while (!rest.empty()) {
    size_t comma = rest.find(',');
    std::string name = TrailingBlanksRemoved(rest.substr(0, comma));
    name.erase(0, name.find_first_not_of(' ') == std::string::npos ? name.size() : name.find_first_not_of(' '));
    if (!name.empty()) names.push_back(name);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return names;
}

NoDataAgentStatusEntry& EntryOf(const char* slot) {
  std::string key(slot, ZEVP_NODATA_TABLE_OFFSET);
  for (NoDataAgentStatusEntry& entry : entries)
    if (entry.agentAndApplication == key) return entry;
  entries.push_back({key, {}});
  return entries.back();
}

// Gathers the queued statuses of one agent and application into a list and hands
// each list over: a data-again status at once, the others when the agent or the
// application changes.
class ReportWalk {
 public:
  void take(const Slot& slot) {
    if (!gathered_.empty() && std::memcmp(key_.data(), slot.data(), ZEVP_NODATA_TABLE_OFFSET) != 0) handOver();
    std::memcpy(key_.data(), slot.data(), ZEVP_NODATA_SLOT_SIZE);
    std::string table = TableOf(slot);
    if (table.empty()) return;
    if (table[0] == kDataAgain) {
      ZEVP_UpdateAgentNoDataStatus(slot.data(), (table + kSeparator).c_str());
      return;
    }
    if (gathered_.size() + table.size() + sizeof kSeparator > ZEVP_NODATA_LIST_MAX) {
      // The agent's list stops here; the other agents' statuses still count.
      TRC(TRC_ERROR, "***** NoData table list of agent %.64s full, table %s dropped", slot.data(), table.c_str());
      return;
    }
    gathered_ += table + kSeparator;
  }
  void handOver() {
    if (!gathered_.empty()) ZEVP_UpdateAgentNoDataStatus(key_.data(), gathered_.c_str());
    gathered_.clear();
  }

 private:
  Slot key_{};
  std::string gathered_;
};

void Merge(std::vector<Slot>& slots) {
  std::sort(slots.begin(), slots.end());
  ReportWalk walk;
  for (size_t index = 0; index < slots.size(); ++index)
    if (index == 0 || slots[index] != slots[index - 1]) walk.take(slots[index]);
  walk.handOver();
}

// The rows' texts of one entry: its tables six a row; a blank without any.
std::vector<std::string> RowTexts(const std::vector<std::string>& tables) {
  std::vector<std::string> rows;
  for (size_t first = 0; first < tables.size(); first += ZEVP_NODATA_NAMES_PER_ROW) {
    std::string text;
    for (size_t index = first; index < tables.size() && index < first + ZEVP_NODATA_NAMES_PER_ROW; ++index)
      text += (index == first ? "" : kSeparator) + tables[index];
    rows.push_back(text);
  }
  // An empty value would not be sent, and the row would show the previous row's.
  if (rows.empty()) rows.emplace_back(" ");
  return rows;
}

void FillRow(SourceEntry* source, const std::array<std::string, 3>& values) {
  BSV1_GetLock(&source->AttributeLock);
  size_t column = 0;
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next, ++column)
    if (column < values.size())
      zevp::SetRowText(attribute, values[column]);
    else
      attribute->ActualValSize = 0;
  BSV1_ReleaseLock(&source->AttributeLock);
}

}  // namespace

void ZEVP_EnqueueNoDataStatus(const char* agentName, const char* applicationName, const char* tableName,
                              int dataAgain) {
  if (agentName == nullptr || applicationName == nullptr || tableName == nullptr) {
    TRC(TRC_ERROR, "***** Incomplete NoData status not queued: agent %s application %s table %s",
        agentName != nullptr ? agentName : "(none)", applicationName != nullptr ? applicationName : "(none)",
        tableName != nullptr ? tableName : "(none)");
    return;
  }
  Slot slot;
  slot.fill(' ');
  PutField(slot, 0, ZEVP_NODATA_NAME_FIELD, ShortAgentName(agentName));
  PutField(slot, ZEVP_NODATA_NAME_FIELD, ZEVP_NODATA_NAME_FIELD, applicationName);
  // The name with its "+" keeps a byte for the terminating zero.
  std::string table = (dataAgain != 0 ? std::string(1, kDataAgain) : std::string()) + tableName;
  table.resize(std::min<size_t>(table.size(), ZEVP_NODATA_TABLE_FIELD - 1));
  std::memset(slot.data() + ZEVP_NODATA_TABLE_OFFSET, 0, ZEVP_NODATA_TABLE_FIELD);
  PutField(slot, ZEVP_NODATA_TABLE_OFFSET, ZEVP_NODATA_TABLE_FIELD - 1, table);
  std::lock_guard<std::mutex> lock(NoDataQueueLock);
  queued.push_back(slot);
  everQueued = true;
}

void ZEVP_DoNoDataStatusReport(DPAB* anchor) {
  std::vector<Slot> slots;
  {
    std::lock_guard<std::mutex> lock(NoDataQueueLock);
    if (!everQueued) return;
    slots.swap(queued);
  }
  if (ZEVP_SNMPmanagerSource(anchor, ZEVP_SNMP_MIBNODATA) == nullptr) return;
  std::lock_guard<std::mutex> lock(NoDataStatusUpdateLock);
  if (!slots.empty()) Merge(slots);
  int rows = 0;
  for (size_t index = 0; index < entries.size(); ++index) {
    const bool first = index == 0;
    const bool last = index + 1 == entries.size();
    const int position = first && last ? 2 : first ? -1 : last ? 1 : 0;
    std::string list;
    for (const std::string& table : entries[index].tables) list += table + kSeparator;
    ZEVP_OutputNoDataStatusToDCH(anchor, entries[index].agentAndApplication.c_str(), list.c_str(), position, &rows);
  }
  TRC(TRC_DETAIL, "Total %d rows of MIB NoData status record(s) emitted to DCH", rows);
}

void ZEVP_UpdateAgentNoDataStatus(const char* slot, const char* tableList) {
  NoDataAgentStatusEntry& entry = EntryOf(slot);
  for (const std::string& name : NamesOf(tableList)) {
    if (name[0] == kDataAgain) {
      auto found = std::find(entry.tables.begin(), entry.tables.end(), name.substr(1));
      if (found == entry.tables.end()) continue;
      entry.tables.erase(found);
      TRC(TRC_DETAIL, "Data Table <%s> removed from NDAS", name.c_str() + 1);
    } else if (std::find(entry.tables.begin(), entry.tables.end(), name) == entry.tables.end()) {
      entry.tables.push_back(name);
      TRC(TRC_DETAIL, "New table <%s> added to NDAS", name.c_str());
    }
  }
}

void ZEVP_OutputNoDataStatusToDCH(DPAB* anchor, const char* slot, const char* tableList, int position,
                                  int* rowCount) {
  SourceEntry* source = ZEVP_SNMPmanagerSource(anchor, ZEVP_SNMP_MIBNODATA);
  if (source == nullptr || ZEVP_SourceStateOf(source) != ZEVP_Active) {
    TRC(TRC_ERROR, ">>> NoData status discarded. DCH communication not ready or busy");
    return;
  }
  const std::string agent = TrailingBlanksRemoved(std::string_view(slot, ZEVP_NODATA_NAME_FIELD));
  const std::string application =
      TrailingBlanksRemoved(std::string_view(slot + ZEVP_NODATA_NAME_FIELD, ZEVP_NODATA_NAME_FIELD));
  const std::vector<std::string> rows = RowTexts(NamesOf(tableList));
  const bool opensSet = position < 0 || position == 2;
  const bool closesSet = position > 0;
  zevp::EngineRoutines& routines = zevp::Routines();
  const int16_t atRest = source->DataSequence;
  for (size_t index = 0; index < rows.size(); ++index) {
    uint16_t control = DCH_InSampleSet;
    if (opensSet && index == 0) control |= DCH_BeginSampleSet;
    if (closesSet && index + 1 == rows.size()) control |= DCH_EndSampleSet;
    routines.updateSourceEntryState(source, ZEVP_Output);
    FillRow(source, {agent, application, rows[index]});
    source->DataSequence = static_cast<int16_t>(control);
    routines.queueAndWaitDCHstatus(anchor, source->OwningTask, source);
    if (rowCount != nullptr) ++*rowCount;
  }
  source->DataSequence = atRest;
}

void ZEVP_ReleaseNoDataStatusArray() {
  {
    std::lock_guard<std::mutex> lock(NoDataQueueLock);
    queued.clear();
    queued.shrink_to_fit();
    everQueued = false;
  }
  std::lock_guard<std::mutex> lock(NoDataStatusUpdateLock);
  entries.clear();
  entries.shrink_to_fit();
}

namespace zevp {

std::vector<std::string> NoDataAgentEntries() {
  std::lock_guard<std::mutex> lock(NoDataStatusUpdateLock);
  std::vector<std::string> all;
  for (const NoDataAgentStatusEntry& entry : entries) {
    std::string line = TrailingBlanksRemoved(std::string_view(entry.agentAndApplication).substr(0, 64)) + "|" +
                       TrailingBlanksRemoved(std::string_view(entry.agentAndApplication).substr(64)) + "|";
    for (const std::string& table : entry.tables) line += table + kSeparator;
    all.push_back(line);
  }
  return all;
}

}  // namespace zevp
