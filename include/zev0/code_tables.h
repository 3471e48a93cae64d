// The two tables between the local code (ASCII) and the network code (EBCDIC) and the
// loops over them, converting in place. Compiled into the utilities and into the client
// API library, which links nothing else of the system.
#pragma once

#include <cstdint>

namespace zev0 {

// ASCII 0x00-0x7F to EBCDIC (code page 037 but '[', ']' and '^'); a byte above 0x7F,
// which the table does not cover, becomes the network code's '?'.
// A length of 0 or less does nothing.
void AsciiToEbcdic(unsigned char* bytes, int32_t length);
// EBCDIC to ASCII; '?' for a byte with no ASCII counterpart.
void EbcdicToAscii(unsigned char* bytes, int32_t length);

}  // namespace zev0
