// The file source: one thread per FILE source of an attribute group, which waits
// until its file exists and holds data, puts its source online and reads the file
// pass after pass (TAIL: what was appended since; COPY: the whole file), sending
// each record as a row.
#pragma once

#include "zevp/batch_run.h"

#include <cstdint>

struct DPAB;
struct ProcessEntry;

// The thread routine of a file server; its entry's parameter is the FILE source.
void ZEVP_FileServer(ProcessEntry* entry);

// Starts a file server (routine, always ZEVP_FileServer) for each FILE source of
// the anchor that is Ready or Pending and has none yet, unless the batch and
// summary switches leave its group out.
void ZEVP_CheckAndStartFileServer(DPAB* anchor, void (*routine)(ProcessEntry* entry));


// Two file positions compared: 0 equal, 1 when a is the greater, -1 when the less.
int CompareFilePosition(int64_t a, int64_t b);
