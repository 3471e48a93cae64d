// One application of a metafile or of a built-in definition, chained in the
// application list of its data provider's anchor.
#pragma once

#include <cstdint>
#include <cstdio>

#include "bsv1.h"
#include "model_limits.h"

struct DPAB;
struct TableEntry;

struct ApplicationEntry {
  ApplicationEntry* next;
  char* MetafileNameUpper;  // upper-cased copy of MetafileName, for look-ups and the console
  char* MetafileName;       // fully qualified
  char* EnterpriseName;     // SNMP applications only
  char* EnterpriseOID;      // SNMP applications only, as text
  char ApplName[ZEVP_APPL_NAME_MAX + 1];
  char* ApplHelp;  // at most ZEVP_HELP_TEXT_MAX characters, or null
  int32_t SNMPapplication;
  int32_t KnownToAgent;  // the agent already knew the application when this data provider registered it
  int32_t NumberOfGroups;
  TableEntry* FirstTable;
  BSV1_Lock TableListLock;  // first lock: the group list
  BSV1_Lock EntryLock;      // second lock: the data-provider core's
  // Batch mode only.
  char* BatchOutputFileName;
  FILE* BatchOutputStream;
  int32_t BatchOutputCount;  // records output since the file was opened
};

// A new application appended to the anchor's list, or null after a validation
// message. packagedMode skips the reserved-name checks; help may be null.
ApplicationEntry* ZEVP_InitializeApplicationEntry(DPAB* anchor, const char* name, int packagedMode,
                                                  const char* help);
