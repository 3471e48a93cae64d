// The DCH transport over TCP and UDP sockets. One class serves both ends of the channel,
// chosen by the type of service:
//  - server (2): owns the DCH port, a UDP socket and a TCP listener on the same number with
//    up to 64 accepted connections; its receive loop, on the base's server thread, puts every
//    datagram and every whole TCP message into the request ring, marked with its kind and,
//    for TCP, the connection's generation;
//  - client (1, and 3 for a DCHclient): sends by UDP to the DCH host (or, for the server's
//    reply transport, to where setClientAddr points it, or on an accepted TCP connection) and
//    reads replies joined from up to 16 datagrams. A DCHclient may borrow its UDP socket from
//    the process-wide pool.
//
// The DCH settings (host, port, time-out, pool size, trap emission) are read from the
// environment once per process, by the first transport constructed.
#pragma once

#include <netinet/in.h>
#include <sys/select.h>
#include <sys/types.h>

#include <atomic>

#include "dch/dchipc.h"

// A socket descriptor of -999 means that there is none.
constexpr int IPCSOCK_NO_SOCKET = -999;
// The limit on simultaneous TCP clients of a server.
constexpr int IPCSOCK_MAX_CLIENTS = 64;
// A UDP socket whose receive time-out was never set (it is still non-blocking).
constexpr int IPCSOCK_RECEIVE_TIMEOUT_NOT_SET = -2;

struct ipcSockServerState;
enum class TcpMessageState;

class ipcSock : public DCHipc {
 public:
  // The modes in use: (2, 0, 1) the agent's DCH server, (1, 1, 0) its reply transport,
  // (3, 0, either) the transport of a DCHclient. The owner tests ipcGetError afterwards.
  ipcSock(short typeOfService, int connectTo, int useFromSockPool);
  // Not for use: traces an error and sets the error state to 1.
  ipcSock();
  // A server stops its receive loop and closes its sockets and connections; its owner has
  // stopped taking from the ring (entries still there are dropped). A client closes what it
  // opened itself (a pooled socket stays open for the next borrower).
  ~ipcSock() override;

  int ipcRead(void** readBuffer, int wait) override;
  // By UDP (connectedSockFD 0) to the DCH address, or where setClientAddr points a reply
  // transport, whose datagrams leave from the DCH port while the process serves it; by TCP
  // only onto a connection that the process's DCH server holds open.
  int ipcWrite(const void* buffer, int length, unsigned int connectedSockFD) override;
  // Copies 16 bytes of address (the destination of the next datagrams); null clears it.
  void setClientAddr(const void* address, int length) override;
  int IPCServer() override;
  int IPCClient(void* address, int connectTo, int typeOfService) override;
  int allocateIPC() override;
  int releaseIPC() override;
  int DCHtimeout() override;

  // The reply to a message taken from the ring: as ipcWrite, but onto the TCP connection only
  // while it is still the one of that generation (the ring slot's), so that a reply never
  // reaches a newer connection that reuses the descriptor. Generation 0: any open connection.
  int ipcWriteConnection(const void* buffer, int length, unsigned int connectedSockFD,
                         unsigned int connectionGeneration);

  // Client side: the server parked a waiter at this socket's address and keeps sending there;
  // a pooled socket goes back spoiled, so that no later borrower takes those messages.
  void retireSocket();
  // Client side, for a socket found readable: the message whose first datagram from the DCH
  // server is waiting now, read as ipcRead reads (a later datagram of it is waited for). 0
  // without waiting when none from the server is there (datagrams of others are dropped).
  int ipcReadWaiting(void** readBuffer);

  // Reads the environment into the process-wide settings; the first constructor calls it.
  static void getEnvVariables();

  unsigned short sockPortNo() const { return _envPortNo; }
  int sockTCP() const { return _sockTCP; }
  int sockUDP() const { return _sockUDP; }
  // The local ports bound to the sockets, asked of the socket layer.
  unsigned short sockPortTCP();
  unsigned short sockPortUDP();

  // The server's select set: listener, UDP socket and every connected client. Highest + 1.
  int sockSetSelectReadMask(fd_set* mask);
  // The lowest free client slot, or -1 when all 64 are in use.
  int sockGetAvailableIndex() const;
  void sockResetIndex() { _sockIndex = 0; }
  // Looks at the next client slot: its socket when set in mask (*index the slot), 0 when not
  // (*index -1), -1 once past the last slot.
  int sockCheckReadMask(const fd_set* mask, int* index);

  // 1 when trap emission was asked for (ZEVA_DCH_TRAPEMIT begins with Y or y), else 0.
  static int _envTRAPEMIT;

 private:
  // Server side (ipc_sock_server.cpp).
  bool openServerSockets();
  [[noreturn]] void exitPortInUse();
  // The DCH address its clients use (ZEVA_DCH_ADDR, else the local host name) is the
  // address the server's sockets are bound to; else the server cannot be reached.
  bool reachableAtDCHaddress() const;
  [[noreturn]] void exitUnreachable();
  int serveUntilStopped();
  timeval* stallTimeout(timeval* limit) const;
  void takeDatagram();
  void acceptConnection();
  void serveConnections(const fd_set* mask);
  void readPiece(int slot);
  void finishPiece(int slot, TcpMessageState state);
  void expireStalledMessages();
  void askForResend(int slot);
  void closeConnection(int slot);
  void putPseudoMessage(DCHmessageKind kind, const sockaddr_in& address, const char* clientName,
                        unsigned int connectedSockFD, unsigned int connectionGeneration);
  void stopServer();
  void joinWhileTaking();

  // Client side (ipc_sock_client.cpp).
  int sendDatagrams(const char* buffer, int length);
  ssize_t sendDatagram(const char* datagram, int length);
  int sendOnConnection(const char* buffer, int length, unsigned int connectedSockFD,
                       unsigned int connectionGeneration);
  bool fromDCHpeer(const sockaddr_in& sender) const;
  void traceStray(const sockaddr_in& sender, ssize_t bytes);
  int awaitDatagram(char* piece, int size, int waitSeconds, bool* timedOut);
  int takeWaitingDatagram(char* piece, int size);
  int readMessage(void** readBuffer, int wait, bool firstWaiting);

  std::atomic<int> _sockError{0};
  unsigned short _portTCP = 0;
  unsigned short _portUDP = 0;
  int _sockTCP = IPCSOCK_NO_SOCKET;
  int _sockUDP = IPCSOCK_NO_SOCKET;
  int _sockIndex = 0;
  int _sockClientFD[IPCSOCK_MAX_CLIENTS] = {};
  sockaddr_in _sockAddress{};
  int _sockAddressLen = static_cast<int>(sizeof(sockaddr_in));
  int _useFromSockPool = 0;
  // A reply transport (connectTo non-zero) sends its datagrams from the DCH port when the
  // process serves it, so that clients can tell replies from strays.
  int _connectTo = 0;
  // Whether this transport holds a socket lent by the pool (given back only once).
  bool _holdsPooledSocket = false;
  // A read ended without its whole reply, which may still come to this socket.
  bool _replyGivenUp = false;
  // The receive time-out last set on the UDP socket (a pooled one's comes from the pool).
  int _receiveTimeoutMs = IPCSOCK_RECEIVE_TIMEOUT_NOT_SET;
  // A datagram was sent and no whole message read since: an answer may still come.
  bool _sentSinceRead = false;
  bool _listening = false;
  // Wakes the server's select when the owner destroys the server.
  int _stopPipe[2] = {-1, -1};
  // The ring and the server thread were both made (the owner may then find the loop blocked).
  bool _serverStarted = false;
  ipcSockServerState* _server = nullptr;

  // Process-wide settings (dch_settings.cpp), written once under the environment lock.
  static char _envDCHname[256];
  static unsigned short _envPortNo;
  static int _envDCHtimeout;
  static int _envDCHUDPSocks;
  static short _envVarsInit;
};
