// The trap monitor: the SNMP data provider's thread that receives SNMPv1 traps on
// UDP port 162, or through the trap daemon zevstrap when another process owns
// that port, and optionally on one more port, and makes each trap a TRAP row
// (docs/trap-reception.md, docs/trap-daemon-protocol.md).
#pragma once

#include <netinet/in.h>
#include <sys/select.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "trap_row.h"

struct DPAB;
struct NetworkConfigurationBlock;

constexpr uint32_t ZEVS_TRAP_RECEIVE_SIZE = 1600;

// The daemon's messages, sent without a terminating zero.
constexpr char ZEVS_TRAP_REGISTER[] = "DP-REGISTER-TRAP-INTEREST";
constexpr char ZEVS_TRAP_REGISTER_ACK[] = "DP-REGISTER-TRAP-INTEREST-ACK";
constexpr char ZEVS_TRAP_SHUTDOWN[] = "DP-SHUTDOWN";

// One per trap monitor, owned by its thread; the block refers to it meanwhile.
struct TrapManagementEntry {
  std::mutex lock;  // held while waiting and receiving
  int32_t consoleThreshold = 2;
  std::atomic<int32_t> active{0};  // 1 once the sockets are ready
  uint16_t extraPort = 0;          // ZEVP_SNMP_TRAP_PORT, 0 when unset
  uint16_t listenPort = 0;         // 162 when bound to it directly, else 0
  int trapSocket = 0;              // on port 162 or registered with the daemon; 0 = none
  int extraSocket = 0;             // on the extra port; 0 = none
  bool registered = false;         // the trap socket is registered with the daemon
  sockaddr_in localAddress{};      // the own address and the port asked for
  sockaddr_in trapAddress{};       // where the trap socket receives
  sockaddr_in extraAddress{};      // where the extra socket receives
  sockaddr_in daemonAddress{};     // the own address with port 162
  sockaddr_in senderAddress{};     // of the last datagram
  fd_set readSet{};
  char receiveBuffer[ZEVS_TRAP_RECEIVE_SIZE]{};
  uint32_t receivedLength = 0;
  char rowBuffer[ZEVS_TRAP_ROW_SIZE]{};
  int32_t rowLength = 0;
  DPAB* anchor = nullptr;
};

// Thread entry; the argument is the network configuration block.
void* ZEVS_SNMPtrapMonitorTask(void* block);

// Opens the sockets (port 162, else a registration with the daemon; the extra
// port) and loads the trap configuration: 1 ready, 0 no socket at all.
int ZEVS_PrepareListenSNMPtrap(TrapManagementEntry* entry);

// Waits at most 30 seconds for a datagram: 1 when a socket is readable.
int ZEVS_WaitForSNMPtrap(TrapManagementEntry* entry);

// Receives one datagram from a readable socket and decodes it: 1 with its row in
// the row buffer (and row length), 0 when nothing was received or it was no trap.
int ZEVS_ReceiveTrapToBuffer(TrapManagementEntry* entry);

// Tells the daemon that this monitor stops, closes the sockets, drops the trap
// configuration and frees the entry; *entry becomes null.
void ZEVS_ReleaseTrapManagementEntry(TrapManagementEntry** entry);

// Wakes the monitor of the block from its wait once the block's shut-down flag is
// set, so that it ends without waiting out its time-out.
void ZEVS_InterruptTrapMonitor(NetworkConfigurationBlock* block);
