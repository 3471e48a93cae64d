// What the DCH server's receive loop shares with its reply transport: the TCP connections
// that it holds open, each with a generation number, and the UDP socket of the DCH port.
//
// Replies go out on the request thread while the receive loop may close a connection and
// accept a new one on the same descriptor. The table's lock keeps closing and sending apart,
// and the generation tells the new connection from the one a request came on. Datagram
// replies leave from the DCH port, so that a client can tell them from strays.
#pragma once

#include <netinet/in.h>
#include <sys/types.h>

#include <cstddef>

class ServerEndpoints {
 public:
  // A connection accepted on sockFD (1 to FD_SETSIZE - 1): its generation, never 0; 0 when
  // the descriptor cannot be held.
  static unsigned int opened(int sockFD);
  // Closes the connection's socket and forgets it.
  static void close(int sockFD);
  // Sends, without waiting, on the connection while it is open with that generation (0: any
  // generation). false when it is not (nothing sent); true with the result of send, and its
  // errno, otherwise.
  static bool send(unsigned int sockFD, unsigned int generation, const void* data, size_t length, ssize_t* result);

  // The DCH port's UDP socket while the server runs; -999 when there is none.
  static void setPortSocket(int sockFD);
  // Sends one datagram from the DCH port. false when no server runs (nothing sent); true with
  // the result of sendto, and its errno, otherwise.
  static bool sendFromPort(const void* data, size_t length, const sockaddr_in& destination, ssize_t* result);
};
