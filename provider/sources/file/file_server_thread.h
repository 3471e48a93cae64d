// What the parts of a file server share about the thread that runs them.
#pragma once

struct ProcessEntry;

namespace zevp {

// True once the file server of the entry is to end: shut-down set its termination
// flag or its data provider is shutting down. An entry of none is never told.
bool FileServerToldToEnd(const ProcessEntry* server);

}  // namespace zevp
