// Received text values made fit to show.
#pragma once

#include <cstdint>

// Turns every line feed and carriage return of the bytes into a blank, in place.
// When every byte is then a letter, a digit, a punctuation character or a blank,
// returns bytes itself with *length unchanged; otherwise returns a new text (the
// caller frees it with ZEV0_FreeStorage) of each byte as two upper-case hex
// digits and a terminating zero, and *length becomes 2 x length + 1. Null when
// that storage cannot be had.
char* ZEVP_ConvertToPrintableCharacters(char* bytes, int32_t* length);
