#include "trap_monitor.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "dp_anchor.h"
#include "engine_routines.h"
#include "network_configuration_block.h"
#include "record_paths.h"
#include "select_interrupt.h"
#include "snmp_manager_model.h"
#include "snmp_manager_tables.h"
#include "snmp_thread.h"
#include "statistics.h"
#include "trap_configuration.h"
#include "trc1.h"
#include "zev0/console_message.h"
#include "zev0/env.h"
#include "zev0/sockets.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

constexpr uint16_t kTrapPort = 162;
constexpr int kRegisterWaitSeconds = 3;
constexpr int kTrapWaitSeconds = 30;
constexpr int32_t kTrapsEnabled = 101;
constexpr int32_t kTrapsDisabled = 103;
// Each trap's row waits for its DCH round trip while more traps come: the socket holds
// a burst of a second or so at thousands a second, where the system's default holds a
// few hundred traps and a stall of the road's threads would drop the rest.
constexpr int kTrapReceiveBufferBytes = 4 << 20;

std::string AddressText(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &address.sin_addr, text, sizeof(text));
  return text;
}

void SendText(int socket, const char* text, const sockaddr_in& to) {
  sendto(socket, text, std::strlen(text), 0, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
}

// The address a socket receives on: the own address with the port it was given.
sockaddr_in ReceivingAddress(int socket, const sockaddr_in& local) {
  sockaddr_in address = local;
  address.sin_port = htons(ZEV0_RetrieveSockPort(socket));
  return address;
}

// Waits at most the seconds for a datagram on the socket: true when one came.
bool Readable(int socket, int seconds) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket, &set);
  timeval timeout{seconds, 0};
  return select(socket + 1, &set, nullptr, nullptr, &timeout) > 0;
}

// The daemon's answer is its acknowledgement, or the first bytes of it; nothing
// longer is.
bool IsAcknowledgement(const char* answer, ssize_t length) {
  auto full = static_cast<ssize_t>(std::strlen(ZEVS_TRAP_REGISTER_ACK));
  return length > 0 && length <= full && std::memcmp(answer, ZEVS_TRAP_REGISTER_ACK, length) == 0;
}

// Registers a socket on any port with the daemon on port 162; the socket, or 0.
int RegisterWithDaemon(TrapManagementEntry* entry) {
  int socket = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &entry->localAddress, 0);
  if (socket < 0) {
    TRC(TRC_ERROR, "***** unable to open socket to listen for SNMP traps from daemon");
    return 0;
  }
  entry->daemonAddress = entry->localAddress;
  entry->daemonAddress.sin_port = htons(kTrapPort);
  TRC(TRC_DETAIL, "sock %d register with daemon at %s[%d]", socket, AddressText(entry->daemonAddress).c_str(),
      kTrapPort);
  SendText(socket, ZEVS_TRAP_REGISTER, entry->daemonAddress);
  TRC(TRC_DETAIL, "----- wait for register trap interest daemon response");
  if (!Readable(socket, kRegisterWaitSeconds)) {
    ZEV0_CloseTheSocket(socket);
    TRC(TRC_ERROR, "----- Register trap interest with daemon received no ack");
    return 0;
  }
  ssize_t length = recv(socket, entry->receiveBuffer, sizeof(entry->receiveBuffer) - 1, 0);
  bool acknowledged = IsAcknowledgement(entry->receiveBuffer, length);
  if (acknowledged) {
    TRC(TRC_DETAIL, "----- Register with trap interest successful");
  } else {
    entry->receiveBuffer[length > 0 ? length : 0] = '\0';
    TRC(TRC_ERROR, "----- Register trap interest response invalid <%s>", entry->receiveBuffer);
    ZEV0_CloseTheSocket(socket);
  }
  std::memset(entry->receiveBuffer, 0, sizeof(entry->receiveBuffer));
  if (!acknowledged) return 0;
  entry->registered = true;
  return socket;
}

void OpenTrapSocket(TrapManagementEntry* entry) {
  int socket = ZEV0_OpenLocalSocket(SOCK_DGRAM, htons(kTrapPort), &entry->localAddress, 1);
  if (socket >= 0) {
    entry->trapSocket = socket;
    entry->listenPort = kTrapPort;
  } else {
    entry->trapSocket = RegisterWithDaemon(entry);
  }
  if (entry->trapSocket <= 0) return;
  entry->trapAddress = ReceivingAddress(entry->trapSocket, entry->localAddress);
  zev0::WidenReceiveBuffer(entry->trapSocket, kTrapReceiveBufferBytes);
}

void OpenExtraSocket(TrapManagementEntry* entry) {
  const char* port = ZEV0_GetEnv("ZEVP_SNMP_TRAP_PORT", nullptr);
  if (port == nullptr) return;
  entry->extraPort = static_cast<uint16_t>(std::atoi(port));
  if (entry->extraPort == 0) return;
  sockaddr_in address{};
  int socket = ZEV0_OpenLocalSocket(SOCK_DGRAM, htons(entry->extraPort), &address, 1);
  if (socket < 0) return;
  entry->extraSocket = socket;
  entry->extraAddress = address;
  zev0::WidenReceiveBuffer(socket, kTrapReceiveBufferBytes);
}

std::string ListeningText(const TrapManagementEntry& entry) {
  char text[96];
  if (entry.trapSocket > 0 && entry.extraSocket > 0) {
    if (entry.listenPort == kTrapPort)
      std::snprintf(text, sizeof(text), "Listening on port %d and %d", kTrapPort, entry.extraPort);
    else
      std::snprintf(text, sizeof(text), "Listening on trap daemon and port %d", entry.extraPort);
  } else if (entry.trapSocket > 0) {
    if (entry.listenPort == kTrapPort)
      std::snprintf(text, sizeof(text), "Listening on port %d ", kTrapPort);
    else
      std::snprintf(text, sizeof(text), "Listening on trap daemon ");
  } else {
    std::snprintf(text, sizeof(text), "Listening on port %d", entry.extraPort);
  }
  return text;
}

// The select interrupt wakes the wait; it is no trap.
bool IsInterrupt(const char* datagram, ssize_t length) {
  return length <= static_cast<ssize_t>(std::strlen(SelectShutDownMsg)) &&
         std::memcmp(datagram, SelectShutDownMsg, length) == 0;
}

void IssueConsoleMessage(const TrapManagementEntry& entry, const TrapRow& row) {
  if (!row.specified) return;
  if (row.severity < entry.consoleThreshold) {
    TRC(TRC_DETAIL, "PX Console Message bypassed. Sev %d threshold %d", row.severity, entry.consoleThreshold);
    return;
  }
  TRC(TRC_DETAIL, "Issue PX Console Message [%s]", row.consoleText.c_str());
  ZEV0_PXconsoleMessage(row.category.c_str(), row.severityText.c_str(), row.consoleText.c_str());
}

SourceEntry* TrapTableSource(DPAB* anchor) { return ZEVP_SNMPmanagerSource(anchor, ZEVP_SNMP_TRAP); }

}  // namespace

int ZEVS_PrepareListenSNMPtrap(TrapManagementEntry* entry) {
  std::unique_lock<std::mutex> lock(entry->lock);
  entry->consoleThreshold = std::atoi(ZEV0_GetEnv("ZEVP_SNMP_TRAP_CONSOLE_SEV", "2"));
  OpenTrapSocket(entry);
  OpenExtraSocket(entry);
  if (entry->trapSocket == 0 && entry->extraSocket == 0) {
    lock.unlock();
    TRC(TRC_ERROR, "***** Unable to open SNMP trap listen port");
    TRC(TRC_ERROR, "Note: Determine if another SNMP Manager process is active on this system.");
    zevp::Routines().sendDPlogMessage(entry->anchor, kTrapsDisabled, nullptr, nullptr, nullptr, nullptr, nullptr);
    return 0;
  }
  ZEVS_LoadTrapConfigurationFile(entry);
  entry->active = 1;
  return 1;
}

int ZEVS_WaitForSNMPtrap(TrapManagementEntry* entry) {
  std::lock_guard<std::mutex> lock(entry->lock);
  FD_ZERO(&entry->readSet);
  int highest = 0;
  for (int socket : {entry->trapSocket, entry->extraSocket}) {
    if (socket <= 0) continue;
    FD_SET(socket, &entry->readSet);
    if (socket > highest) highest = socket;
  }
  TRC(TRC_DETAIL, ">>>>> Trap socket select wait");
  timeval timeout{kTrapWaitSeconds, 0};
  int ready = select(highest + 1, &entry->readSet, nullptr, nullptr, &timeout);
  TRC(TRC_DETAIL, ">>>>> Trap socket select completed. nfds=%d", ready);
  if (ready <= 0) FD_ZERO(&entry->readSet);
  return ready > 0 ? 1 : 0;
}

int ZEVS_ReceiveTrapToBuffer(TrapManagementEntry* entry) {
  std::lock_guard<std::mutex> lock(entry->lock);
  std::memset(entry->receiveBuffer, 0, sizeof(entry->receiveBuffer));
  std::memset(entry->rowBuffer, 0, sizeof(entry->rowBuffer));
  entry->rowLength = 0;
  int socket = 0;
  if (entry->trapSocket > 0 && FD_ISSET(entry->trapSocket, &entry->readSet))
    socket = entry->trapSocket;
  else if (entry->extraSocket > 0 && FD_ISSET(entry->extraSocket, &entry->readSet))
    socket = entry->extraSocket;
  if (socket == 0) return 0;
  TRC(TRC_DETAIL, "sock %d selected for UDP SNMP trap data", socket);

  socklen_t senderSize = sizeof(entry->senderAddress);
  ssize_t length = recvfrom(socket, entry->receiveBuffer, sizeof(entry->receiveBuffer), 0,
                            reinterpret_cast<sockaddr*>(&entry->senderAddress), &senderSize);
  if (length <= 0) {
    FD_CLR(socket, &entry->readSet);
    return 0;
  }
  entry->receivedLength = static_cast<uint32_t>(length);
  TRC(TRC_DETAIL, "### recvfrom rc %d, errno %d, %s[%d]", static_cast<int>(length), 0,
      AddressText(entry->senderAddress).c_str(), ntohs(entry->senderAddress.sin_port));
  if (IsInterrupt(entry->receiveBuffer, length)) return 0;
  if (TRC_ON(TRC_DETAIL)) ZEV0_PrintDump(entry->receiveBuffer, 0, static_cast<int>(length));

  TrapRow row;
  if (!zevs::TrapDatagramToRow(entry->anchor, entry->receiveBuffer, entry->receivedLength, &row)) return 0;
  std::memcpy(entry->rowBuffer, row.text.data(), row.text.size());
  entry->rowLength = static_cast<int32_t>(row.text.size());
  IssueConsoleMessage(*entry, row);
  return 1;
}

void ZEVS_ReleaseTrapManagementEntry(TrapManagementEntry** entryAddress) {
  TrapManagementEntry* entry = *entryAddress;
  if (entry == nullptr) return;
  if (entry->registered && entry->trapSocket > 0) {
    TRC(TRC_DETAIL, "send shutdown to %s[%d]", AddressText(entry->daemonAddress).c_str(),
        ntohs(entry->daemonAddress.sin_port));
    SendText(entry->trapSocket, ZEVS_TRAP_SHUTDOWN, entry->daemonAddress);
  }
  {
    std::lock_guard<std::mutex> lock(entry->lock);
    if (entry->trapSocket > 0) ZEV0_CloseTheSocket(entry->trapSocket);
    if (entry->extraSocket > 0) ZEV0_CloseTheSocket(entry->extraSocket);
    entry->trapSocket = entry->extraSocket = 0;
    ZEVS_ReleaseTrapConfigurationArrays();
    TRC(TRC_DETAIL, "Freeing TrapManagementEntry @%p", static_cast<void*>(entry));
  }
  delete entry;
  *entryAddress = nullptr;
}

void ZEVS_InterruptTrapMonitor(NetworkConfigurationBlock* block) {
  BSV1_GetLock(&block->blockLock);
  TrapManagementEntry* entry = block->trapManagement;
  // Sockets of an entry not yet active may not be complete; its monitor looks at
  // the shut-down flag before it waits.
  if (entry != nullptr && entry->active.load() != 0) {
    if (entry->trapSocket > 0)
      ZEVP_SendSelectMessage(entry->trapSocket, SelectShutDownMsg, &entry->trapAddress);
    else if (entry->extraSocket > 0)
      ZEVP_SendSelectMessage(entry->extraSocket, SelectShutDownMsg, &entry->extraAddress);
  }
  BSV1_ReleaseLock(&block->blockLock);
}

void* ZEVS_SNMPtrapMonitorTask(void* argument) {
  auto* block = static_cast<NetworkConfigurationBlock*>(argument);
  unsigned long thread = BSV1_ThreadID();
  TRC(TRC_DETAIL, ">>>>> SNMP Trap monitor process started. Thread: %lX", thread);
  auto* entry = new (std::nothrow) TrapManagementEntry;
  BSV1_GetLock(&block->blockLock);
  block->trapManagement = entry;
  BSV1_ReleaseLock(&block->blockLock);
  if (entry == nullptr) {
    TRC(TRC_ERROR, "*****unable to get TrapManagementEntry storage");
    ZEVS_EndThread();
  }
  DPAB* anchor = block->anchor;
  entry->anchor = anchor;
  if (ZEVS_PrepareListenSNMPtrap(entry))
    zevp::Routines().sendDPlogMessage(anchor, kTrapsEnabled, ListeningText(*entry).c_str(), nullptr, nullptr,
                                      nullptr, nullptr);

  while (block->shutdown.load() == 0 && TrapTableSource(anchor) != nullptr && entry->active.load() != 0) {
    if (!ZEVS_WaitForSNMPtrap(entry)) continue;
    while (block->shutdown.load() == 0 && ZEVS_ReceiveTrapToBuffer(entry)) {
      ZEVP_MoveDataToDCH(anchor, TrapTableSource(anchor), entry->rowBuffer, entry->rowLength);
      ZEVP_UpdateStatLogTrap(1);
    }
  }

  BSV1_GetLock(&block->blockLock);
  block->trapManagement = nullptr;
  BSV1_ReleaseLock(&block->blockLock);
  ZEVS_ReleaseTrapManagementEntry(&entry);
  TRC(TRC_DETAIL, ">>>>> SNMP Trap monitor process ended. Thread: %lX", thread);
  ZEVS_EndThread();
}
