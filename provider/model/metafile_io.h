// Reading a metafile: open, read record after record, close. The handle hides
// where the records come from: a local file, an in-memory metafile (a name that
// begins with '&' is the metafile's whole text), or a metafile fetched from the
// metafile server by the data provider's metafile client.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct DPAB;

// An open metafile, or null. A name without '/' is taken from the anchor's
// metafile directory, as is a name with '/' that begins with '.' (less its leading
// characters up to the first letter or digit); the name, then the name with
// ".mdl", then with ".MDL" is tried. In a validation run (validate non-zero) the
// opening shows ZEVPV24I for an extension added and ZEVPV25I. A metafile that is
// not there locally is fetched from the metafile server, outside a validation
// run and while the client is connected; one that is neither gives ZEVPV01E,
// unless its name begins with "ZEV" or "zev" (the built-in applications).
void* ZEVP_OpenMetaFile(DPAB* anchor, const char* metafileName, int validate);

// The buffer holding the next record (NUL-terminated, at most size - 1
// characters; a line end is kept from a local file), or null at the end. A line
// longer than the buffer is cut, its rest dropped with a trace.
char* ZEVP_ReadMetaFile(DPAB* anchor, void* handle, char* buffer, int32_t size);

// 0, or the result of closing the file. Records not read are dropped, and a
// fetched metafile lets the next fetch proceed.
int ZEVP_CloseMetaFile(DPAB* anchor, void* handle);

namespace zevp {

// The path a metafile name stands for (above), without an extension added.
std::string MetafilePath(const DPAB* anchor, const char* metafileName);

// A local metafile opened as ZEVP_OpenMetaFile opens it, fetching nothing and
// showing no ZEVPV01E; null when it is not there.
std::FILE* OpenLocalMetafile(DPAB* anchor, const char* metafileName, int validate);

// fgets with the cut of a line longer than the buffer (its rest is dropped).
char* ReadMetafileLine(std::FILE* file, char* buffer, int32_t size);

// ZEVPV01E for a metafile that is not there, unless it is a built-in's.
void ReportMetafileNotFound(const char* metafileName);

}  // namespace zevp
