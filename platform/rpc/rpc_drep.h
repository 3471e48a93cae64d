// RPC runtime stand-in: the data representation that every packet carries, so that
// the receiver converts integers and characters of the sender's kind into its own.
#pragma once

#include <cstdint>

using rpc__drep_t = uint8_t;

// Integers least significant byte first (else most significant first).
constexpr rpc__drep_t rpc__drep_little_endian = 0x10;
// Characters in EBCDIC (else ASCII).
constexpr rpc__drep_t rpc__drep_ebcdic = 0x01;
constexpr rpc__drep_t rpc__drep_big_endian_ascii = 0x00;

// The machine's own: its byte order, ASCII characters.
rpc__drep_t rpc__local_drep();
// True for a representation made of the bits above only.
bool rpc__drep_is_valid(rpc__drep_t drep);
