// Buffers: the blocks chained to each handle in which a request is built.
#pragma once

#include "records.h"

namespace zevpapi {

// 0 and the data pointer of a buffer of the handle with room for requestSize bytes (a
// size below 1 means the default), reused or new; else the status.
int AllocateBuffer(APIhandle* handle, void** userBuffer, int requestSize);
// Empties a buffer of the library (validation bypass respected).
int ClearBuffer(void* userBuffer);
// Gives a buffer back to its handle for reuse; always validated.
int FreeBuffer(void* userBuffer);
// True for a block chained to one of the anchor's handles.
bool BlockIsKnown(const APIbuffer* block);
// True for a user pointer that may be taken as a buffer: not null, and of a chain
// unless validation is bypassed.
bool BufferPassesCheck(void* userBuffer);

}  // namespace zevpapi
