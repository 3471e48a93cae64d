// Small text, path and file functions used across the system.
//
// New strings come from ZEV0_GetStorage and are freed by the caller with
// ZEV0_FreeStorage; the results that live in static storage say so.
#pragma once

#include <cstdint>
#include <cstdio>

// Upper-cases the string in place (copyFlag 0) and returns it, or returns an
// upper-cased copy in a new cleared block (copyFlag non-zero; caller frees).
// A null string returns null.
char* ZEV0_ConvertStringToUpper(char* string, int copyFlag);

// Every character of the name that is not a letter, a digit, '_', '*' or '-'
// becomes '_', in place.
void ZEV0_SubValidNameCharacter(char* name);

// Removes the path's trailing blanks in place and returns it ending in '/': the
// input itself when it already ends so, else a new block with '/' appended (the
// caller frees it when it differs from the input). An empty or all-blank path
// gives a new block "./". A null path returns null.
char* ZEV0_CheckPathSpec(char* path);

// A new 512-byte cleared block (caller frees) holding the path followed directly
// by the name; with a null path, the work directory (ZEV_WORK_PATH ending in '/',
// else ./work/, fixed on the first call) followed by the name. Null when the name
// is null or the whole does not fit in 512 bytes with its NUL.
char* ZEV0_ConstructFullyQualifiedName(const char* path, const char* name);

// Closes a non-null stream and sets *stream to null.
void ZEV0_CloseFile(FILE** stream);

// mode 'R' (carriage return), 'F' (line feed) or 'B' (both): the first such
// character of the line ends the line when it is one of its last two characters,
// else it becomes a blank. Only the first of each is touched.
void ZEV0_RemoveCRandLF(char* line, char mode);

// When length exceeds maxLength, keeps the last maxLength characters at the
// start of the string and ends it there; otherwise nothing changes.
void ZEV0_TruncateFromLeft(char* string, int length, int maxLength);

// The buffer's bytes up to the first terminator within maxLength bytes (or all
// maxLength bytes when there is none; a NUL ends the copy too), NUL-terminated,
// in one static 1024-byte buffer shared by all callers: copy the result before
// the next call from any thread. Null when that copy does not fit in the buffer
// or the buffer is null.
char* ZEV0_terminateString(const char* buffer, char terminator, int maxLength);

// The next token, as strtok_r gives it, with one save position per thread (up to
// 256 threads inside a tokenizing loop at once). A thread's position is released
// when its stream of tokens ends (a null result). Null also when no slot is free.
char* ZEV0_strtok(char* string, const char* delimiters);

// The 16-bit checksum of the data taken in the network character code; 65535
// for no data. It goes into every application key, so it never changes.
uint16_t ZEV0_ComputeCheckSum(const void* data, int32_t length);

// Writes the bytes base + start .. base + end - 1 to the trace as a hex and
// character dump, 16 bytes a line, whatever the trace classes: callers test
// their own class first.
void ZEV0_PrintDump(const void* base, int start, int end);
