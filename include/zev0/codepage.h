// Network character code (EBCDIC) and network byte order.
#pragma once

#include <cstdint>

constexpr unsigned char ASCII_A = 0x41;
constexpr unsigned char EBCDIC_A = 0xC1;
constexpr unsigned char NETWORK_A = 0xC1;
constexpr unsigned char Local_A = static_cast<unsigned char>('A');

// In place, local code to network code (nothing to do on an EBCDIC host).
// A length of 0 or less does nothing.
void ZEV0_ConvertDataToNetwork(void* bytes, int32_t length);
// In place, network code to local code.
void ZEV0_ConvertDataToLocal(void* bytes, int32_t length);
// In place, EBCDIC to ASCII whatever the host (for data known to be EBCDIC).
void ZEV0_ConvertEBCDICtoASCII(void* bytes, int32_t length);

// 0 when data marked with the code letter ('A' ASCII, 'E' EBCDIC) is already in the
// host's code, 1 when it must be converted.
int ZEV0_CheckCodeConversion(char letter);

void ZEV0_ConvertShortEndian(void* value);
void ZEV0_ConvertLongEndian(void* value);
// Host order to network order (and back) for an integer of size 2 or 4; other sizes untouched.
void ZEV0_CheckIntegerEndian(int size, void* value);
