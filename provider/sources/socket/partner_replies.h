// What goes back to network partners: one reply to each API request, and the
// acknowledgement that a socket partner's group asks for (//CONFIRM) after each
// receive.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

struct DPAB;
struct IOEntry;

// The reply's text: the status, a blank, the data provider's start stamp and, when
// data is given, '#' and the data unchanged ("13 1700000000", "0 1700000000#;").
std::string ZEVP_FormatAPIreply(const DPAB* anchor, int status, const char* data, int dataLength);

// Sends the reply in the network code: as one datagram to the address from the UDP
// socket, or, with no address, on the TCP connection that socket is. Send errors
// are traced. Replies are sent one at a time, whichever thread sends them.
void ZEVP_SendAPIreply(DPAB* anchor, int socket, const sockaddr_in* address, int status, const char* data,
                       int dataLength);

// The acknowledgement of one receive of byteCount bytes, as the partner's group
// confirms: the count (SIZE) or the partner's next sequence number (SEQ) as four
// bytes big-endian, the byte of Xhh (no byte for X00), or the quoted text in the
// partner's code. False when the group asks for none (or the source has none).
bool ZEVP_BuildAcknowledgement(IOEntry* partner, uint32_t byteCount, std::string* acknowledgement);

// Sends it from the partner's socket to the partner (nothing when the group asks for none).
void ZEVP_SendReceivedDataAck(IOEntry* partner, uint32_t byteCount);
