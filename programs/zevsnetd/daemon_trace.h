// The ICMP daemon's verbose trace: off unless ZEVP_SNMP_NETD_VERBOSE begins with
// Y (either case); the text after its first '>' (else its first '='), leading
// blanks, '>' and '=' skipped, names the file, standard output otherwise or when
// the file cannot be opened. Every line begins with the time in seconds as eight
// hexadecimal digits and is flushed at once.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zevsnetd {

// Reads the setting and opens the trace; the name of what it writes to, or null
// when verbose is off.
const char* OpenTrace(const char* setting);
void CloseTrace();
bool Verbose();

void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "------------ " and the bytes in hexadecimal, one line.
void TraceHex(const uint8_t* bytes, size_t length);

}  // namespace zevsnetd
