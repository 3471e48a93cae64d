#include "ploven_agent_row.h"

#include <ctime>
#include <mutex>

#include "agent_discovery_scope.h"
#include "attribute_entry.h"
#include "builtin_group.h"
#include "dch/dch_protocol.h"
#include "engine_routines.h"
#include "ploven_agent_entry.h"
#include "source_entry.h"
#include "source_states.h"
#include "trc1.h"
#include "zev0/timestamp.h"

TRC_UNIT();

namespace {

// The one source carries one row at a time.
std::mutex agentDCHdataLock;

// The display text of the time's agent time stamp, or the text for never.
std::string TimeText(time_t time, const char* never) {
  if (time == 0) return never;
  char stamp[ZEV0_PLOVEN_TIME_BLOCK_SIZE];
  char text[32];
  ZEV0_ConvertTimeToPlovenTime(&time, stamp);
  ZEV0_PlovenTimeToString(stamp, text);
  return text;
}

std::string Text(const char* text) { return text != nullptr ? text : ""; }

// The row's values in the source's attributes: all of them, or only the first (the
// key) with every other value empty.
void FillRow(SourceEntry* source, const std::array<std::string, kPlovenAgentColumns>& values, bool keyOnly) {
  BSV1_GetLock(&source->AttributeLock);
  int column = 0;
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next, ++column) {
    if (column < kPlovenAgentColumns && (column == 0 || !keyOnly))
      zevp::SetRowText(attribute, values[column]);
    else
      attribute->ActualValSize = 0;
  }
  BSV1_ReleaseLock(&source->AttributeLock);
}

}  // namespace

void ZEVS_UpdatePlovenAgentInfoToDCH(PlovenAgentEntry* entry, int deleteRow) {
  const std::optional<zevs::AgentDiscoveryScope> scope = zevs::CurrentAgentScope();
  if (entry == nullptr || !scope || scope->agents.shutdown->load() != 0) return;
  std::lock_guard<std::mutex> rows(agentDCHdataLock);
  BSV1_GetLock(&entry->lock);
  const std::array<std::string, kPlovenAgentColumns> values = zevs::PlovenAgentRowValues(*entry);
  BSV1_ReleaseLock(&entry->lock);
  SourceEntry* source = scope->plovenAgentsSource;
  if (source == nullptr || source->OwningTask == nullptr) {
    TRC(TRC_ERROR, "*****PLOVEN-AGENTS source not available. No row for agent %s", values[0].c_str());
    return;
  }
  zevp::EngineRoutines& routines = zevp::Routines();
  routines.updateSourceEntryState(source, ZEVP_Output);
  FillRow(source, values, deleteRow != 0);
  if (deleteRow == 0) {
    routines.queueAndWaitDCHstatus(scope->anchor, source->OwningTask, source);
    return;
  }
  const int16_t sequence = source->DataSequence;
  source->DataSequence = DCH_DeleteKeyRecord;
  routines.queueAndWaitDCHstatus(scope->anchor, source->OwningTask, source);
  source->DataSequence = sequence;
}

namespace zevs {

std::array<std::string, kPlovenAgentColumns> PlovenAgentRowValues(const PlovenAgentEntry& entry) {
  return {Text(entry.managedSystemName), Text(entry.networkName),  Text(entry.networkAddress),
          Text(entry.productName),       Text(entry.productVersion), Text(entry.features),
          TimeText(entry.lastCheckTime, " "), TimeText(entry.lastReplyTime, "Initial Load")};
}

void ReportPlovenAgentRows() {
  const std::optional<AgentDiscoveryScope> scope = CurrentAgentScope();
  if (!scope) return;
  RefreshAgentRows(scope->agents, [](PlovenAgentEntry* entry, int deleteRow) {
    ZEVS_UpdatePlovenAgentInfoToDCH(entry, deleteRow);
  });
}

}  // namespace zevs
