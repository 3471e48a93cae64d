// The start-up configuration: the metafiles a data provider loads when it starts,
// named in a text file (one or more names a line, '*' in the first column for a
// comment) that the console keeps up to date as metafiles are imported and
// deleted; the packaged product's list; and, when there is no such file, every
// metafile of the metafile directory (the auto-load).
#pragma once

#include <cstdint>

struct DPAB;

// Loads the metafiles of the start-up configuration file, then those of item 19
// of the product file. The count of metafiles processed: 0 when the file did
// not open and no packaged metafile loaded, -1 when it named none and none loaded.
// Sets the anchor's startupConfigDone in every case.
int ZEVP_ProcessStartUpConfig(DPAB* anchor);

// Loads the metafiles of the anchor's metafile directory (else of the current
// directory, by their names).
void ZEVP_DoApplicationAutoLoad(DPAB* anchor);

// Adds a metafile name at the end of the file, once it was read at start-up: 1,
// or 0 when it cannot be opened for appending.
int ZEVP_AppendMetafileToStartUpConfig(DPAB* anchor, const char* metafileName);

// Drops every name of the file that begins with the given metafile name (both as
// full names in the metafile directory, compared in upper case) and rewrites the
// file, once it was read at start-up: 1, or 0 when no name is given or the file
// cannot be read.
int ZEVP_RemoveMetafileFromStartUpConfig(DPAB* anchor, const char* metafileName);

namespace zevp {

// Whether the file was read at start-up (appends and removals wait for that).
bool StartUpConfigLoaded();

}  // namespace zevp
