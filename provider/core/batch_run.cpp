// The anchor and application settings that the batch program makes through the
// engine's exported header, which keeps the records themselves private.
#include "zevp/batch_run.h"

#include "application_entry.h"
#include "dp_anchor.h"
#include "metafile_text.h"
#include "zev/dp_types.h"
#include "zev0/storage.h"

void ZEVP_MarkBatchAnchor(DPAB* anchor) {
  anchor->dpType = ZEV_DP_FILE;
  // The environment start needs the batch mode; the start-up configuration is
  // never loaded in a batch run, so nothing waits for it.
  anchor->batchMode = 1;
  anchor->startupConfigDone = 1;
}

int32_t ZEVP_ActiveBatchProcessCount(DPAB* anchor) {
  BSV1_GetLock(&anchor->processListLock);
  int32_t count = anchor->threadCount;
  BSV1_ReleaseLock(&anchor->processListLock);
  return count;
}

const char* ZEVP_ApplicationName(const ApplicationEntry* application) { return application->ApplName; }

void ZEVP_SetBatchOutputFileName(ApplicationEntry* application, const char* fileName) {
  ZEV0_FreeStorage(&application->BatchOutputFileName);
  application->BatchOutputFileName = zevp::NewStorageText(fileName);
}
