// The agent time stamp: the one text form of a point in time that the system
// stores and sends (row time stamps, summary intervals, log lines, statistics).
//
// Sixteen decimal digits in the host's local time, YYYMMDDhhmmssnnn: years since
// 1900 (3), month, day, hour, minute, second (2 each; a leap second 60 is written
// 00) and a counter that orders the stamps made within one second (3; 000 in
// stamps built from text). A function that writes a stamp ends it with a NUL, so
// a buffer needs 17 bytes; blocks handed out here are 20 bytes, from
// ZEV0_GetStorage, and go back through ZEV0_FreeStorage.
#pragma once

#include <cstdint>
#include <ctime>

constexpr int ZEV0_PLOVEN_TIME_LENGTH = 16;
constexpr int ZEV0_PLOVEN_TIME_BLOCK_SIZE = 20;

// The stamp of now (the basic services' clock); see ZEV0_ConvertTimeToPlovenTime.
char* ZEV0_GetPlovenTime(char* buffer);

// Writes the stamp of *time into buffer (at least 17 bytes) and returns it; with a
// null buffer returns a new 20-byte block (null when no storage is left). Every
// stamp made advances the process-wide counter: the stamps of one second carry
// 000, 010, ..., 100, 105, ..., 400, 403, ..., 799, 802, 803, ..., 999 and stay
// at 999 from the 402nd on; a stamp for another second starts again at 000.
char* ZEV0_ConvertTimeToPlovenTime(const time_t* time, char* buffer);

// Writes "YYYY/MM/DD hh:mm:ss nnn" (output at least 24 bytes) from the first 16
// characters of the stamp and returns the number of characters written (23).
int ZEV0_PlovenTimeToString(const char* stamp, char* output);

// Copies the English name of the stamp's weekday into output WITHOUT a terminator
// (9 bytes suffice) and returns its length. Dates outside 1991-2003, or with a
// month or day out of range, give eight blanks and 8.
int ZEV0_PlovenTimeToWeekDay(const char* stamp, char* output);

// Builds a stamp (counter 000) from free-form date and time text such as
// "Tue Feb 15 10:20:30 2002", "02/15/2002 10:20:30" or "2002.02.15", in a new
// 20-byte block; null for a null text. Parts it cannot read, and numbers too wide
// for their place in the stamp, are 0.
char* ZEV0_StringToPlovenTime(const char* text);

// "YYY/MM/DD-hh:mm:ss" (years since 1900) of *time, or of now when time is null.
// The text lives in a buffer of the calling thread, overwritten by its next call.
char* ZEV0_GetCurrentDayTime(const time_t* time);

// A millisecond clock in 32-bit arithmetic that wraps: only the difference of two
// readings a short time apart means anything.
int32_t ZEV0_GetTimeOfDay();
