// Base64 (the MIME alphabet, "=" padding, no line breaks) for short NUL-terminated
// texts. Results are NUL-terminated texts written into storage the caller provides.
#pragma once

#include <cstdint>

// Longest inputs: a result holds at most 511 characters.
constexpr int ZEV0_BASE64_MAX_ENCODE_INPUT = 381;  // bytes, 508 characters out
constexpr int ZEV0_BASE64_MAX_DECODE_INPUT = 680;  // characters, 510 bytes out

// One group: up to four bytes and the count of valid ones. The encoder passes
// three input bytes and a count of 1-3, the decoder four sextet values.
struct ZEV0_Base64Group {
  unsigned char data[4];
  uint32_t count;
};

// Encodes the text into *output, which must hold 4 characters per started group
// of three input bytes plus the terminator. 1 when written; 0 for an empty (or
// null) input or one longer than ZEV0_BASE64_MAX_ENCODE_INPUT, *output untouched.
int ZEV0_EncodeBase64(const char* input, char** output);

// Writes the four characters of one group, "=" in place of the missing bytes.
void ZEV0_EncodeToBuffer(const ZEV0_Base64Group* group, char* output);

// Splits three octets into four 6-bit values.
void ZEV0_EncodeRaw(unsigned char* sextets, const unsigned char* octets);

// Decodes the text into *output as a text (3 bytes per started group of four
// characters plus the terminator suffice): the result ends at the first zero
// byte. An unpadded tail is accepted; characters outside the alphabet are not
// rejected and decode to meaningless bytes. 1 when written; 0 for an empty (or
// null) input or one longer than ZEV0_BASE64_MAX_DECODE_INPUT, *output untouched.
int ZEV0_DecodeBase64(const char* input, char** output);

// Writes the three bytes formed from one group of four sextet values.
void ZEV0_DecodeToBuffer(const ZEV0_Base64Group* group, char* output);

// Joins four 6-bit values (the low six bits of each) into three octets.
void ZEV0_DecodeRaw(unsigned char* octets, const unsigned char* sextets);
