// What a server's receive loop keeps besides the fields of ipcSock: its receive buffer and,
// per client slot, the connection's generation, its peer and the message being joined.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>

#include "dch/ipc_sock.h"
#include "tcp_message_assembly.h"

// Room for any datagram, so that its declared total can be held against what came.
constexpr int IPCSOCK_DATAGRAM_BUFFER_SIZE = 65536;

struct ServerConnection {
  unsigned int generation = 0;
  sockaddr_in peer{};
  char peerName[INET_ADDRSTRLEN] = {};
  TcpMessageAssembly message;
};

struct ipcSockServerState {
  char workBuffer[IPCSOCK_DATAGRAM_BUFFER_SIZE];
  ServerConnection connections[IPCSOCK_MAX_CLIENTS];
};
