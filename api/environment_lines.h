// Reading the command environment file: its first line is the data provider's start
// stamp, each further line an AppID, '#' and a session key, at most 79 characters.
#pragma once

#include <cstdint>
#include <cstdio>

namespace zevpapi {

constexpr int kLongestEnvironmentLine = 79;
using EnvironmentLine = char[kLongestEnvironmentLine + 1];

enum class LineRead { kLine, kTooLong, kEnd };

// The next line without its newline; a longer line is read to its end and given as
// kTooLong, its text not kept.
LineRead ReadEnvironmentLine(std::FILE* file, EnvironmentLine& line);

// The decimal number at the start of the text (as atoi reads it) when it is a port,
// 1-65535; else 0, no key.
uint16_t SessionKeyFrom(const char* text);

// The number of a stamp line (as atol reads it).
long StampFrom(const char* text);

// The session key the file holds for the AppID (the first line that begins with it;
// the key one character after it), or, without an AppID, of its only session line; 0
// when the stamp is given and differs from the file's, or when nothing fits.
uint16_t FindSessionKey(std::FILE* file, const char* appID, const char* stamp);

}  // namespace zevpapi
