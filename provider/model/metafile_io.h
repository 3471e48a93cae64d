// Reading a metafile: open, read record after record, close. The handle hides
// where the records come from.
#pragma once

#include <cstdint>

struct DPAB;

// An open metafile, or null (traced). A name without '/' is taken from the
// anchor's metafile directory.
void* ZEVP_OpenMetaFile(DPAB* anchor, const char* metafileName, int validate);

// The buffer holding the next record (NUL-terminated, its line end kept, at most
// size - 1 characters), or null at the end.
char* ZEVP_ReadMetaFile(DPAB* anchor, void* handle, char* buffer, int32_t size);

// 0, or the result of closing the file.
int ZEVP_CloseMetaFile(DPAB* anchor, void* handle);
