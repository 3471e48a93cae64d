// The body of the data-provider launchers: a program that runs one data provider
// on a thread of its own, waits for it to end and exits.
#pragma once

#include <cstdint>

// Marks the process as a data-provider program, starts the entry routine on a
// joinable thread with the address of the start mode (which must live until the
// thread has ended) and waits for it. SIGTERM asks the data provider to end as
// the console command SHUTDOWN does. The outcome is traced with the label
// ("***** <label> DP main processing thread ..."); the result is always 0.
int RunDataProviderLauncher(void* (*entryRoutine)(void*), int32_t* startMode, const char* label);
