// The MIBSTATUS rows: one per collected application and group, with its interval,
// agents and the time of its last completed pass, sent as a text record
// "application;group;interval;agents;time" through the table's source.
#pragma once

#include <functional>
#include <string>

struct ActionWorkerTaskEntry;
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

// Calls visit with the extension of every SNMP worker of the anchor, taken under the
// worker list's lock and visited without it. Each extension is counted as visited
// until its visit returns, so that its worker, ending meanwhile, does not free it.
void ForEachSNMPworkerExtension(DPAB* anchor, const std::function<void(SNMPWorkerTaskExtension*)>& visit);

// Takes the worker's extension off it and returns it (null when it has none) once
// no visit reads it any longer: the worker may then free it.
SNMPWorkerTaskExtension* WithdrawSNMPworkerExtension(DPAB* anchor, ActionWorkerTaskEntry* worker);

}  // namespace zevp
