// The URL configuration file: the monitored URLs kept across restarts of the HTTP
// data provider, read once when its URL management block is made and rewritten by
// its manager whenever the configuration changed.
#pragma once

#include <cstdio>

#include "url_records.h"

struct DPAB;

// Works out the file's name (product specification item ZEVPURLS_FILE_NAME in the
// work directory), stores it in the block, adds the URL of every line and clears
// the configuration-changed flag.
void ZEVP_ProcessURLconfigFile(URLmanagementBlock* block);

// Rewrites the file from the URL list: one line per URL and owner. The new file is
// written beside the old one and takes its place only once it is whole.
void ZEVP_UpdateURLconfigurationFile(DPAB* anchor);

// Marks the configuration as changed, for the manager's next rewrite.
void ZEVP_SetURLconfigurationUpdate();

namespace zevp {

// Reads the file the block names (its ConfigFileName) and adds its URLs.
void ReadURLconfigFile(URLmanagementBlock* block);
// The lines of an open file: each line's URL is added for each of its owners.
void ReadURLconfigLines(URLmanagementBlock* block, FILE* file);
// Writes a line per URL and owner, under the URL list lock: the number of lines,
// or -1 when a write failed.
int WriteURLconfigLines(URLmanagementBlock* block, FILE* file);

}  // namespace zevp
