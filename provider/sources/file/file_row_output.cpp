// A row of a file source to the agent, through the DCH work queue.
#include "dch_work_queue.h"
#include "dp_log.h"
#include "engine_routines.h"
#include "file_monitor.h"
#include "source_entry.h"
#include "trc1.h"

TRC_UNIT();

namespace zevp {

namespace {

constexpr int32_t kResynchronizeSeconds = 30;

// Queues the source in its state and waits for the DCH client routine.
void Request(FileMonitor& monitor, int32_t state) {
  EngineRoutines& routines = Routines();
  routines.updateSourceEntryState(monitor.source, state);
  routines.queueAndWaitDCHstatus(monitor.anchor, monitor.server, monitor.source);
}

}  // namespace

bool SendFileRow(FileMonitor& monitor) {
  if (monitor.unregistered || Routines().checkDataSummaryReady(monitor.source) == 0) return true;
  Request(monitor, ZEVP_Output);
  if (monitor.toldToEnd()) return false;
  if (ZEVP_SourceStateOf(monitor.source) == ZEVP_Active) {
    Routines().updateSourceEntryState(monitor.source, ZEVP_Input);
    return true;
  }
  TRC(TRC_ERROR, "*** dp_data failed for %s", monitor.fileName());
  while (ZEVP_SourceStateOf(monitor.source) != ZEVP_Active) {
    Routines().updateSourceEntryState(monitor.source, ZEVP_Ready);
    if (!SleepUnlessToldToEnd(monitor, kResynchronizeSeconds)) return false;
    Request(monitor, ZEVP_Ready);
    if (monitor.toldToEnd()) return false;
  }
  ZEVP_SendDPlogMessage(monitor.anchor, 55, monitor.fileName());
  Routines().updateSourceEntryState(monitor.source, ZEVP_Input);
  return true;
}

}  // namespace zevp
