// Response times and the URL output files: each check's sample in its URL's ring
// with the maximum and average over it; the statistics file (one CSV line per
// URL); a page file and object files in one directory per web host below the URL
// output directory.
#pragma once

#include <cstdint>

#include "bsv1.h"
#include "url_records.h"

// Stores the sample from start to end at the entry's current index and recomputes
// the maximum, total and average (the caller holds the entry lock).
void ZEVP_CalculateURLresponseTime(const BSV1_Time* start, const BSV1_Time* end, URLrequestEntry* entry);

// Writes the statistics file anew, when the statistics output is on.
void ZEVP_OutputURLstat(URLmanagementBlock* block);

// Makes the entry's output directory once; a host part that cannot name one gets
// none. 1 when the entry has its directory.
int ZEVP_CreateURLoutputDir(URLmanagementBlock* block, URLrequestEntry* entry);

// Writes the entry's page buffer, up to its first NUL, to its page file.
void ZEVP_OutputURLpage(URLmanagementBlock* block, URLrequestEntry* entry);

// Writes one object's content (length bytes) to its object file.
void ZEVP_OutputURLobject(URLrequestEntry* entry, const char* objectURL, const char* content, int32_t length);

