// The Basic Encoding Rules codec of the SNMP side: one-byte tags, definite
// lengths, INTEGER, OCTET STRING, NULL and OBJECT IDENTIFIER, and object
// identifiers as dotted text, BER content bytes and arrays of numbers.
//
// Writers append at a cursor (the address of a pointer to the next free byte)
// and trust the caller's buffer to have room. Readers consume at a cursor and
// are told how many bytes remain in the packet from the cursor on: they never
// read past them, and a field that would run past them is a failure. Both move
// the cursor only on success.
#pragma once

#include <cstdint>

constexpr int ZEV0_ASN_INTEGER = 0x02;
constexpr int ZEV0_ASN_OCTETSTRING = 0x04;
constexpr int ZEV0_ASN_NULL = 0x05;
constexpr int ZEV0_ASN_OBJECTIDENTIFIER = 0x06;
constexpr int ZEV0_ASN_SEQUENCE = 0x30;

// An OID element array is one 256-byte block of unsigned 32-bit elements.
constexpr int ZEV0_OID_MAX_ELEMENTS = 64;
// The dotted text of an OID array comes in a block of this size.
constexpr int ZEV0_OID_TEXT_SIZE = 1024;

// Reads the field at *cursor, of which `remaining` bytes lie in the packet.
// Returns the tag byte, sets *length to the content length and *value to the
// first content byte (null for an empty content), and moves the cursor past the
// field. Returns 0, cursor unchanged, for a null cursor, a tag byte of 0, an
// indefinite or unsupported length, or a field that does not end within
// `remaining` bytes; *length and *value are then 0 and null (left alone for a
// null cursor).
int ZEV0_ExtractBERfield(char** cursor, uint32_t remaining, uint32_t* length, char** value);

// Reads an INTEGER of 1 to 4 content bytes (two's complement, big-endian) into
// *value and returns 1. Returns 0 for a field that cannot be read (cursor
// unchanged), for another tag (cursor put back), and for an empty or longer
// content (cursor left after the field).
int ZEV0_ExtractBERinteger(char** cursor, uint32_t remaining, int32_t* value);

// Writes the tag byte, the length and the fewest two's-complement bytes that
// hold the value. Returns the bytes written, 0 for a null cursor.
int ZEV0_FormatBERintegerType(char** cursor, int tag, int32_t value);

// Writes a length field: one byte up to 127, else 0x82, 0x83 or 0x84 and two,
// three or four big-endian bytes (two also for 128 to 255). Returns 1, or 0 for
// a length of 0 or a null cursor (nothing written).
int ZEV0_FormatBERlengthField(char** cursor, uint32_t length);

// Writes 0x05 0x00 and returns 2; 0 for a null cursor.
int ZEV0_FormatBERnullType(char** cursor);

// Writes the tag byte, the length and `length` bytes of data; the data may
// overlap the place it is written to (a SEQUENCE is wrapped around content
// built in the same buffer). Returns the bytes written; 0 for a null cursor or
// data, or a length below 1.
int ZEV0_FormatBERoctetstringType(char** cursor, int tag, const void* data, int32_t length);

// Encodes dotted text (at least two decimal elements, each at most 4294967295;
// the first 0, 1 or 2, the second below 40) as a whole OBJECT IDENTIFIER field
// in a new block (ZEV0_FreeStorage). Returns 1 with *block and *length set, or
// 0 with them null and 0.
int ZEV0_FormatOIDfromString(const char* text, char** block, int32_t* length);

// Decodes OID content bytes (after tag and length) into a new element array of
// ZEV0_OID_MAX_ELEMENTS (ZEV0_FreeStorage) and sets *count. Returns null with
// *count 0 for empty or truncated content, an element above 32 bits, or more
// elements than the array holds.
uint32_t* ZEV0_DecodeOIDfromBER(const char* content, uint32_t length, int32_t* count);

// The dotted text of an element array in a new block of ZEV0_OID_TEXT_SIZE bytes
// (ZEV0_FreeStorage); empty for a count below 1; null when the text would not fit.
char* ZEV0_ConvertOIDtoString(const uint32_t* elements, int32_t count);

// The name of a tag ("ASN_INTEGER" ...), "UNKNOWN" for tags without one.
const char* ZEV0_GetASN1typeString(int tag);
