// The process's pool of UDP sockets. Every single DCH call builds a short-lived client that
// borrows one for the length of the call, so the pool size is the number of such calls that
// can be in progress at once; further callers wait until a socket is given back. The pool is
// made once and lives as long as the process; its sockets stay open and keep their ports.
#pragma once

class UDPSockPool {
 public:
  // Makes the pool of count (1 or more) sockets, once per process; the caller holds the DCH
  // environment lock. 0 when the pool is there, 1 when its table could not be allocated.
  static int make(int count);
  // Lends the first free socket, waiting while all are lent, emptied of any datagram that
  // may have arrived since its last borrower sent (see giveBack). -999 when there is no pool
  // or the wait fails. tag only appears in lock error traces. *receiveTimeoutMs: the receive
  // time-out that the socket has (see SetReceiveTimeout).
  static int borrow(const void* tag, int* receiveTimeoutMs);
  // 0 when the socket is free again; 1 when the lock or the wake-up failed or the socket is
  // not one of the pool's. A spoiled socket (its borrower gave up on a reply, which may
  // still come) is closed and its place taken by a new one on another port: a reply
  // still on its way then never reaches the next borrower. A socket whose borrower sent
  // something it read no reply to (a request without one, or none read) is emptied before
  // it is lent again; one whose exchange ended with its reply is lent as it is.
  // receiveTimeoutMs: the receive time-out the borrower left on it.
  static int giveBack(int sockFD, const void* tag, bool spoiled, bool sentSinceRead, int receiveTimeoutMs);
  // Whether the socket is one of the pool's (a borrower then leaves it open).
  static bool holds(int sockFD);
};
