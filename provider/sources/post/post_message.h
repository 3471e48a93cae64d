// A posted message (docs/post-input.md): its text, in ASCII or EBCDIC, runs to its
// first zero byte or to the end of the bytes received, and is cut into fields at
// the source's delimiters; a TCP sender gets a 26-character acknowledgement stamp
// back.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The most a message holds: one datagram, or one receive on a connection.
constexpr size_t ZEVP_POST_MESSAGE_MAX = 4096;
constexpr size_t ZEVP_POST_ACK_STAMP_LENGTH = 26;

// 1 when the message is in EBCDIC: none of its bytes is an ASCII letter or digit.
int ZEVP_CheckDataConversion(const unsigned char* data, int length);

namespace zevp {

// The message's text: its bytes up to the first zero byte.
std::string_view PostText(const char* data, size_t length);

// The fields of the text between the delimiter characters; a run of delimiters is
// one, and delimiters at either end make no empty field. Without delimiters the
// whole text is one field (none when it is empty).
std::vector<std::string_view> PostFields(std::string_view text, const char* delimiters);

// The acknowledgement stamp: the sender's address as eight hexadecimal digits,
// first dotted byte first; YYMMDDHHMMSS (characters 2 to 13 of the agent time stamp
// of the row, 16 characters); the category's key; the checksum of the posted text
// in five digits.
std::string PostAckStamp(const in_addr& address, const char* timeStamp, char categoryKey, uint16_t checkSum);

}  // namespace zevp
