// What the batch program drives of the engine: the start of an anchor in batch
// mode, the application of one metafile, the batch pass over its input files, the
// batch job log, and the engine's shut-down and release.
#pragma once

#include <cstdint>

struct ApplicationEntry;
struct DPAB;

// A new anchor built from the environment and the product specification, or null.
DPAB* ZEVP_StartupInitialization();

// Records a non-null anchor as the process's main anchor.
void ZEVP_SetupMainDPanchor(DPAB* anchor);

// Marks the anchor for a batch run: a FILE data provider in batch mode (no DCH
// traffic, no console, fewer threads) whose start-up configuration counts as done.
void ZEVP_MarkBatchAnchor(DPAB* anchor);

// Starts the threads every data provider has and loads the start-up metafiles.
// The anchor's type (and in the batch program its batch mode) must be set first.
// 1 when all were started, 0 when the start was refused or a thread was not made.
int ZEVP_StartDataProviderEnvironment(DPAB* anchor);

// Parses the metafile into an application of the anchor's list and returns it,
// or null. *opened (when given) is set to 1 once the file is open; *alreadyDefined
// (when given) to 1 when the metafile was loaded before, whose application is then
// the result. validate: a validation only (nothing is registered); startup: a
// load of the start-up configuration; noEcho: no record echo in a validation.
// Callers test the result before the flags.
ApplicationEntry* ZEVP_ConstructApplDataModel(DPAB* anchor, const char* metafileName, int validate, int* opened,
                                              int* alreadyDefined, int startup, int noEcho);

// The application's name, and the file its rows go to in batch mode (a copy of
// the name is kept; the file is opened at the first row).
const char* ZEVP_ApplicationName(const ApplicationEntry* application);
void ZEVP_SetBatchOutputFileName(ApplicationEntry* application, const char* fileName);

// The batch program's start of its file servers.
void ZEVP_StartBatchFileMonitoring(DPAB* anchor);

// The anchor's threads that still run: the DCH client and the periodic task make
// 2, each file server of a batch pass one more until its pass has ended.
int32_t ZEVP_ActiveBatchProcessCount(DPAB* anchor);

// Tells every thread made by ZEVP_CreateProcess to end, waits for them at most
// ZEVP_SHUTDOWN_WAIT_SECONDS, then releases the applications, the I/O entries and
// the internal routing blocks. keepRegistration non-zero: applications are not
// unregistered from the agent one by one. While threads still run after the wait,
// the model is left in place (they may still use it).
void ZEVP_ShutdownCleanUp(DPAB* anchor, int keepRegistration);

// Frees what the start-up made for the anchor and the anchor itself, and clears
// Main_DPAB when it is this anchor. While threads of the anchor still run, nothing
// is freed.
void ZEVP_ReleaseGlobalResources(DPAB* anchor);

// The batch job log of the batch program. Open replaces an old file; when it cannot
// be opened, standard output is used. Write adds a line feed and flushes.
void ZEVP_OpenBatchLog(DPAB* anchor, const char* path);
void ZEVP_WriteBatchLog(const char* text);
void ZEVP_CloseBatchLog();
