// A raw client of a data provider's console on loopback: it writes command
// datagrams in the network code and reads the replies back into the local code,
// with the utility library's code tables and nothing of the engine.
#pragma once

#include <string>

class ConsoleClient {
 public:
  ConsoleClient();  // a UDP socket on a loopback port of its own
  ~ConsoleClient();
  ConsoleClient(const ConsoleClient&) = delete;
  ConsoleClient& operator=(const ConsoleClient&) = delete;

  // The command text, converted to the network code, to the console port.
  bool send(unsigned short port, const std::string& command);
  // Bytes as they are.
  bool sendRaw(unsigned short port, const std::string& bytes);
  // The next reply datagram in the local code; empty when none came within the time.
  std::string receive(int waitMs);
  // send, then the first reply that is not the interim one ("99 ").
  std::string exchange(unsigned short port, const std::string& command, int waitMs);

 private:
  int socket_;
};

// GETPORT's reply once a console answers it with status 0 (a console serves once its
// data provider's start is done), within the time; else the last reply. Each try has
// a client of its own, so that a late reply to one try is not taken for another's.
std::string AwaitConsole(unsigned short port, int waitMs);
