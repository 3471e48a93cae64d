// The source name of a data record as the row store files it.
#pragma once

#include <cstddef>

constexpr int kRecordSourceNameSize = 33;

// A host name without its domain part; a dotted IPv4 address (the name the DCH server
// gives a source that came online without one) stays whole. A name longer than 32
// characters keeps its last 32. The text is taken up to a NUL at most.
void recordSourceName(const char* name, size_t length, char (&sourceName)[kRecordSourceNameSize]);
