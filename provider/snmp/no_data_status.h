// Which agents return no rows for which MIB tables: the SNMP workers queue a
// status after each pass over an agent, and the periodic task merges them into
// one entry per agent and application and reports every entry as MIBNODATA rows.
//
// A queued status is a 160-byte slot: the agent name (cut before its local domain,
// at most 64 bytes), the application name (64 bytes), both blank-padded, then the
// table name, with a "+" before it when the table has data again, zero-terminated
// within 32 bytes. Entries live until the data provider releases them, so an agent
// that once lacked data is part of every later report.
#pragma once

#include <string>
#include <vector>

struct DPAB;

constexpr int ZEVP_NODATA_SLOT_SIZE = 160;
constexpr int ZEVP_NODATA_NAME_FIELD = 64;
constexpr int ZEVP_NODATA_TABLE_OFFSET = 128;
constexpr int ZEVP_NODATA_TABLE_FIELD = 32;
// The merged table list of one agent within a report.
constexpr size_t ZEVP_NODATA_LIST_MAX = 4096;
constexpr int ZEVP_NODATA_NAMES_PER_ROW = 6;

// Queues one status (dataAgain 0: the table returned no rows; non-zero: rows
// again). Nothing, with a trace, when a name is missing. Any thread.
void ZEVP_EnqueueNoDataStatus(const char* agentName, const char* applicationName, const char* tableName,
                              int dataAgain);

// Periodic: merges the queued statuses, then sends the rows of every entry as one
// sample set. Nothing before the first status was queued or without the MIBNODATA
// table.
void ZEVP_DoNoDataStatusReport(DPAB* anchor);

// Merges one agent's list ("name,  name,  ", or "+name,  " for a table with data
// again) into its entry (slot: agent and application), made when missing.
void ZEVP_UpdateAgentNoDataStatus(const char* slot, const char* tableList);

// Sends the rows of one entry: its tables six a row (one row with a blank
// without any).
// position: -1 the report's first entry, 1 its last, 2 its only one, 0 another;
// the report's first row opens the sample set and its last row closes it. Nothing
// ("discarded") while the MIBNODATA source is not online. rowCount grows per row.
void ZEVP_OutputNoDataStatusToDCH(DPAB* anchor, const char* slot, const char* tableList, int position,
                                  int* rowCount);

// Frees the queue and every entry.
void ZEVP_ReleaseNoDataStatusArray();

namespace zevp {

// The entries as "agent|application|table,  table,  " in report order, for tests.
std::vector<std::string> NoDataAgentEntries();

}  // namespace zevp
