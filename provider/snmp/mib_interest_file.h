// The MIB interest file: the MIB collections that run, one record per line, so that
// a restarted SNMP data provider starts them again (docs/mib-interest-file.md).
// The active file is named by the product's SNMPMIBI_FILE_NAME (in the work
// directory unless it names one); the backup and the new file have the name's last
// character replaced by "X" and "N".
#pragma once

#include <cstdio>
#include <string>
#include <vector>

struct ActionEntry;
struct DPAB;

// Rewrites the file from every SNMP worker's collection and sends each one's MIB
// status row. A rewrite already running covers a second call. With no record the
// active file stays as it was; otherwise it becomes the backup and the new file
// takes its name.
void ZEVP_UpdateMIBinterestExt(DPAB* anchor);

// Starts the collections the file lists (those whose APPLNAME begins with the
// application name, when one is given), one SNMPSTARTGET action per record, each
// on an SNMP worker.
void ZEVP_DoAutoStartMIBmonitorTasks(DPAB* anchor, const char* applicationName);

// A new action in use, complete: SNMPSTARTGET of the owner SNMPAUTOINIT, type 3,
// marked 'A', every other field empty; null without storage.
ActionEntry* ZEVP_AllocateAutoStartActionEntry(DPAB* anchor);

// The records of an interest file to start: lines of at most 2048 bytes (a longer
// one is skipped), without their line ends; with an application name only those
// whose APPLNAME value begins with it.
std::vector<std::string> ZEVP_ReadMIBinterestRecords(FILE* file, const char* applicationName);

namespace zevp {

// The active, backup and new file names.
struct MIBinterestFileNames {
  std::string active;
  std::string backup;
  std::string fresh;
};
const MIBinterestFileNames& MIBinterestFiles();

}  // namespace zevp
