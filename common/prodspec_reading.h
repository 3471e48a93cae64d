// Reading one product specification file into the table of items, apart from the
// once-per-process bookkeeping of ZEV0_InitializeProductSpec.
#pragma once

#include <cstdio>

namespace zev0 {

// Reads the open file (path names it in traces; fileName is the ZEV_PRODSPEC_NAME in
// effect, or null) into the table, replacing what an earlier reading left. 1 when
// the items are usable, 0 when the file is refused (traced). Does not close the file.
int ReadProductSpec(std::FILE* file, const char* path, const char* fileName);

}  // namespace zev0
