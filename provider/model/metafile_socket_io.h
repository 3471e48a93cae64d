// Socket steps of the metafile server and client, on non-blocking sockets with
// poll: descriptors above 1023 are normal once the agent has raised its limit.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <string>

namespace zevp {

// The events that came on the socket within the time (milliseconds, -1: no
// limit); 0 when none came, -1 when the wait failed.
int WaitForSocket(int socket, short events, int timeoutMs);

// Sends all the bytes within the time, without SIGPIPE on a closed connection.
// False when they did not all go; *error then holds the reason (0 for the time).
bool SendWithin(int socket, const char* bytes, size_t length, int timeoutSeconds, int* error);

// The dotted address and the port of a socket address.
std::string DottedAddress(const sockaddr_in& address);
std::string PortText(const sockaddr_in& address);

}  // namespace zevp
