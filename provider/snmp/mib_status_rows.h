// The MIBSTATUS rows: one per collected application and group, with its interval,
// agents and the time of its last completed pass, sent as a text record
// "application;group;interval;agents;time" through the table's source.
#pragma once

#include <functional>
#include <string>

struct DPAB;
struct SNMPWorkerTaskExtension;

// The extension's row, when it has agents, an application and a group.
void ZEVP_UpdateMIBstatusToDCH(DPAB* anchor, SNMPWorkerTaskExtension* extension);
// Periodic: the row of every SNMP worker's extension.
void ZEVP_UpdateMIBinteresToDCH(DPAB* anchor);
// The row's deletion ("application;group;" as a key-delete record), when the
// extension has no agents left but still an application and a group.
void ZEVP_DeleteMIBstatusFromDCH(DPAB* anchor, SNMPWorkerTaskExtension* extension);
// Ends the rows for good at the manager's shut-down, while collectors may still send
// theirs: `offline` (which takes the MIBSTATUS source offline) runs while no row is
// being sent, and no row is sent after it.
void ZEVP_EndMIBstatusRows(DPAB* anchor, const std::function<void()>& offline);

namespace zevp {

// The row's record; caller holds the extension's node-list lock.
std::string MIBstatusRecord(SNMPWorkerTaskExtension& extension);

// Calls visit with the extension of every SNMP worker of the anchor (the worker
// list's lock is held only to step from one worker to the next).
void ForEachSNMPworkerExtension(DPAB* anchor, const std::function<void(SNMPWorkerTaskExtension*)>& visit);

}  // namespace zevp
