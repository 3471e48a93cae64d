// Waiting until a monitored file exists and holds a record, sleeping on the file
// source's condition, which the periodic task signals while the wait is pending.
#pragma once

#include <cstdint>

struct IOEntry;

// Sets the entry's record length (and its first two buffers), then waits until
// its current file can be opened and its first line read. 1 when it can; 0 when
// the wait failed (an error other than a missing file or no permission: DP log
// 53; a missing file with ZEVP_DP_FILE_EXIST_WAIT not Y) or the file server was
// told to end. *restart becomes 1 when the file had to be waited for (to be
// created, or to hold a line): it is then read from its beginning. Takes the entry's lock and releases it before it returns.
int ZEVP_WaitFileReadyForMonitor(IOEntry* entry, int32_t* restart);

// With the entry's lock held: releases it, waits on the entry's condition until it
// is woken (ZEVP_WakeFileServer, since its last wait) or the file server is told to
// end, and takes the lock again.
void ZEVP_WaitForSignal(IOEntry* entry);
