// Until the model's look-ups are built: the plain walks, and no summary to complete.
#include <cstring>
#include <string>

#include "application_entry.h"
#include "dp_anchor.h"
#include "metafile_text.h"
#include "model_look_ups.h"
#include "table_entry.h"

ApplicationEntry* ZEVP_LocateApplicationByName(DPAB* anchor, const char* name, int length) {
  std::string wanted(name, static_cast<size_t>(length));
  BSV1_GetLock(&anchor->applicationListLock);
  ApplicationEntry* found = anchor->applications;
  while (found != nullptr && zevp::UpperCased(found->ApplName).compare(0, wanted.size(), wanted) != 0 &&
         std::strcmp(found->ApplName, name) != 0)
    found = found->next;
  BSV1_ReleaseLock(&anchor->applicationListLock);
  return found;
}

TableEntry* ZEVP_LocateTableByName(ApplicationEntry* application, const char* name, int length) {
  std::string wanted(name, static_cast<size_t>(length));
  BSV1_GetLock(&application->TableListLock);
  TableEntry* found = application->FirstTable;
  while (found != nullptr && std::string(found->TableName).compare(0, wanted.size(), wanted) != 0 &&
         zevp::UpperCased(found->TableName).compare(0, wanted.size(), wanted) != 0)
    found = found->next;
  BSV1_ReleaseLock(&application->TableListLock);
  return found;
}

void ZEVP_CompleteSummaryTableDefinition(TableEntry*, int) {}
