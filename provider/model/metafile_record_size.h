// The size of a metafile record buffer.
#pragma once

#include <cstdint>

constexpr int32_t ZEVP_DEFAULT_META_RECORD_SIZE = 4096;

// ZEVP_META_MAX_RECORD_SIZE, else 4096. A value that leaves no room for a
// character (below 2, or not a number) takes 4096, and one above 1048576 that,
// each with a trace.
int32_t ZEVP_MetaRecordSize();
