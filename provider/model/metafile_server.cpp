#include "metafile_server.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dp_anchor.h"
#include "dp_log_numbers.h"
#include "metafile_exchange_format.h"
#include "metafile_io.h"
#include "metafile_record_size.h"
#include "metafile_server_task.h"
#include "metafile_socket_io.h"
#include "process_entry.h"
#include "trc1.h"
#include "zev0/codepage.h"
#include "zev0/env.h"
#include "zev0/hostnames.h"
#include "zev0/sockets.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr int kListenBacklog = 10;
// The loop looks at its termination flag at least this often.
constexpr int kStopLookMs = 1000;
constexpr char kNotFoundReply[] = "1 \n";

bool hasClimb(const std::string& path) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (path.compare(start, end - start, "..") == 0) return true;
    start = end + 1;
  }
  return false;
}

// Host name (or the dotted address when it has none), dotted address and port of the peer.
struct PeerTexts {
  std::string host, address, port;
};

PeerTexts peerTexts(const sockaddr_in& peer) {
  PeerTexts texts{"", zevp::DottedAddress(peer), zevp::PortText(peer)};
  char* name = ZEV0_ResolveAddressToName(texts.address.c_str());
  texts.host = name != nullptr ? name : texts.address;
  ZEV0_FreeStorage(&name);
  return texts;
}

struct Server {
  DPAB* anchor;
  ProcessEntry* entry;
  int udpSocket = -1;
  int listenSocket = -1;
  MetaServerConnection* connections = nullptr;

  bool stopAsked() const { return entry->terminationFlag != 0; }
  void run();
  void accept();
  void serve(MetaServerConnection* connection);
  void answer(MetaServerConnection* connection, const std::string& metafileName);
  void drop(MetaServerConnection* connection, const char* why);
  void end();
};

// The reply in the network code in one block: the header with status 0 and the
// count and the records, or status 1 when there are none. Null without storage.
char* replyBytes(MetaServerConnection* connection, size_t* length) {
  const MetafileRecordList& records = connection->Records;
  size_t size = 80;
  for (const MetafileRecord* record = records.first; record != nullptr; record = record->next)
    size += record->TextLength;
  auto* reply = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(size)));
  if (reply == nullptr) return nullptr;
  if (records.count == 0) {
    *length = std::strlen(kNotFoundReply);
    std::memcpy(reply, kNotFoundReply, *length);
  } else {
    *length = static_cast<size_t>(std::snprintf(reply, 80, "%d \n%d \n", 0, records.count));
    for (const MetafileRecord* record = records.first; record != nullptr; record = record->next) {
      std::memcpy(reply + *length, record->Text, record->TextLength);
      *length += record->TextLength;
    }
  }
  ZEV0_ConvertDataToNetwork(reply, static_cast<int32_t>(*length));
  return reply;
}

void Server::run() {
  while (!stopAsked()) {
    std::vector<pollfd> watched = {{udpSocket, POLLIN, 0}, {listenSocket, POLLIN, 0}};
    std::vector<MetaServerConnection*> polled;
    for (MetaServerConnection* connection = connections; connection != nullptr; connection = connection->next) {
      watched.push_back({connection->Socket, POLLIN, 0});
      polled.push_back(connection);
    }
    int ready = poll(watched.data(), watched.size(), kStopLookMs);
    if (ready < 0 && errno != EINTR) {
      TRC(TRC_ERROR, "***** Meta Server poll failed, errno %d", errno);
      return;
    }
    if (ready <= 0) continue;
    if (watched[0].revents != 0) {
      // The datagram only wakes the wait.
      char datagram[256];
      recv(udpSocket, datagram, sizeof datagram, 0);
    }
    if (watched[1].revents != 0) {
      accept();
      continue;
    }
    for (size_t i = 0; i < polled.size(); ++i)
      if (watched[i + 2].revents != 0) serve(polled[i]);
  }
}

void Server::accept() {
  sockaddr_in peer{};
  socklen_t length = sizeof peer;
  int socket = ::accept4(listenSocket, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
  if (socket < 0) {
    TRC(TRC_DETAIL, "Meta Server accept found no connection, errno %d", errno);
    return;
  }
  int nonBlocking = 1;
  ZEV0_SetSocketIoctl(socket, FIONBIO, &nonBlocking);
  auto* connection = static_cast<MetaServerConnection*>(ZEV0_GetStorage(sizeof(MetaServerConnection)));
  if (connection == nullptr) {
    TRC(TRC_ERROR, "*** unable to obtain storage for metafile client connection, refused");
    ZEV0_CloseTheSocket(socket);
    return;
  }
  *connection = MetaServerConnection{nullptr, socket, peer, nullptr, MetafileRecordList()};
  MetaServerConnection** place = &connections;
  while (*place != nullptr) place = &(*place)->next;
  *place = connection;
  PeerTexts texts = peerTexts(peer);
  zevp::MetaServerDPlog(anchor, ZEVP_DPLOG_META_CLIENT_ACCEPTED, texts.host.c_str(), texts.address.c_str(),
                        texts.port.c_str());
}

void Server::drop(MetaServerConnection* connection, const char* why) {
  TRC(TRC_DETAIL, "%s for sock %d", why, connection->Socket);
  PeerTexts texts = peerTexts(connection->Peer);
  zevp::MetaServerDPlog(anchor, ZEVP_DPLOG_META_CLIENT_LEFT, texts.host.c_str(), texts.address.c_str(),
                        texts.port.c_str());
  MetaServerConnection** place = &connections;
  while (*place != connection) place = &(*place)->next;
  *place = connection->next;
  ZEVP_FreeMetafileRecords(&connection->Records);
  ZEV0_FreeStorage(&connection->MetafileName);
  ZEV0_CloseTheSocket(connection->Socket);
  ZEV0_FreeStorage(&connection);
}

void Server::serve(MetaServerConnection* connection) {
  char request[zevp::kMetafileRequestMax + 1];
  ssize_t received = recv(connection->Socket, request, zevp::kMetafileRequestMax, 0);
  if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  if (received <= 0) {
    drop(connection, "Client DP connection broken detected");
    return;
  }
  ZEV0_ConvertDataToLocal(request, static_cast<int32_t>(received));
  std::string metafileName;
  if (zevp::ParseMetafileRequest(std::string(request, static_cast<size_t>(received)), &metafileName))
    answer(connection, metafileName);
}

void Server::answer(MetaServerConnection* connection, const std::string& metafileName) {
  PeerTexts texts = peerTexts(connection->Peer);
  connection->MetafileName = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(metafileName.size() + 1)));
  if (connection->MetafileName != nullptr) std::memcpy(connection->MetafileName, metafileName.c_str(), metafileName.size() + 1);
  zevp::MetaServerDPlog(anchor, ZEVP_DPLOG_META_REQUEST, texts.host.c_str(), metafileName.c_str());
  ZEVP_ConstructMetaFileRecordBuffers(anchor, connection);
  int32_t count = connection->Records.count;
  int32_t sent = ZEVP_SendMetFileReply(anchor, connection);
  if (count > 0 && sent == count)
    zevp::MetaServerDPlog(anchor, ZEVP_DPLOG_META_SENT, metafileName.c_str(), std::to_string(count).c_str(),
                          texts.host.c_str());
  else
    zevp::MetaServerDPlog(anchor, ZEVP_DPLOG_META_NOT_FOUND, metafileName.c_str(), texts.host.c_str());
  ZEV0_FreeStorage(&connection->MetafileName);
  // A client that does not take its reply is not waited for again.
  if (sent == 0 && count > 0) drop(connection, "Reply not taken by the client DP, connection dropped");
}

void Server::end() {
  while (connections != nullptr) {
    MetaServerConnection* connection = connections;
    connections = connection->next;
    ZEVP_FreeMetafileRecords(&connection->Records);
    ZEV0_FreeStorage(&connection->MetafileName);
    ZEV0_CloseTheSocket(connection->Socket);
    ZEV0_FreeStorage(&connection);
  }
  anchor->metaServerListening = 0;
  ZEV0_CloseTheSocket(listenSocket);
  ZEV0_CloseTheSocket(udpSocket);
  zevp::MetaServerDPlog(anchor, ZEVP_DPLOG_META_SERVER_ENDED);
}

}  // namespace

namespace zevp {

int MetafileReplyWait() {
  const char* setting = ZEV0_GetEnv("ZEVP_META_IO_WAIT", "30");
  int seconds = std::atoi(setting);
  return seconds > 0 ? seconds : 30;
}

bool ServesMetafile(const DPAB* anchor, const char* metafileName) {
  if (metafileName == nullptr || metafileName[0] == '\0' || metafileName[0] == '&') return false;
  const char* directory = anchor->metafileDirectory;
  if (directory == nullptr) return false;
  std::string path = MetafilePath(anchor, metafileName);
  size_t length = std::strlen(directory);
  return path.size() > length && path.compare(0, length, directory) == 0 && !hasClimb(path.substr(length));
}

}  // namespace zevp

void ZEVP_ConstructMetaFileRecordBuffers(DPAB* anchor, MetaServerConnection* connection) {
  ZEVP_FreeMetafileRecords(&connection->Records);
  const char* name = connection->MetafileName;
  if (!zevp::ServesMetafile(anchor, name)) {
    TRC(TRC_ERROR, "*** Metafile <%s> is not one of the metafile directory, not served", name != nullptr ? name : "");
    return;
  }
  std::FILE* file = zevp::OpenLocalMetafile(anchor, name, 0);
  if (file == nullptr) {
    zevp::ReportMetafileNotFound(name);
    return;
  }
  int32_t size = ZEVP_MetaRecordSize();
  std::vector<char> line(static_cast<size_t>(size) + 1);
  while (zevp::ReadMetafileLine(file, line.data(), size) != nullptr) {
    std::string record = line.data();
    if (record == "\n") continue;
    if (record.back() != '\n') record += '\n';  // a cut line, or the last one without its line end
    if (!ZEVP_AppendMetafileRecord(&connection->Records, record.c_str(), static_cast<uint32_t>(record.size()))) {
      TRC(TRC_ERROR, "*** unable to obtain storage for metafile record, %s not served", name);
      ZEVP_FreeMetafileRecords(&connection->Records);
      break;
    }
  }
  std::fclose(file);
}

int32_t ZEVP_SendMetFileReply(DPAB* anchor, MetaServerConnection* connection) {
  int32_t count = connection->Records.count;
  size_t length = 0;
  char* reply = replyBytes(connection, &length);
  int error = 0;
  bool sent;
  if (reply == nullptr) {
    TRC(TRC_ERROR, "*** unable to obtain storage for file send buffer. send aborted");
    zevp::MetaServerDPlog(anchor, ZEVP_DPLOG_META_SEND_NO_STORAGE,
                          connection->MetafileName != nullptr ? connection->MetafileName : "");
    char notFound[sizeof kNotFoundReply];
    std::memcpy(notFound, kNotFoundReply, sizeof notFound);
    ZEV0_ConvertDataToNetwork(notFound, static_cast<int32_t>(std::strlen(notFound)));
    zevp::SendWithin(connection->Socket, notFound, std::strlen(notFound), zevp::MetafileReplyWait(), &error);
    sent = false;
  } else {
    sent = zevp::SendWithin(connection->Socket, reply, length, zevp::MetafileReplyWait(), &error);
    if (!sent) TRC(TRC_ERROR, "*** send metafile to client failed. errno %d", error);
    ZEV0_FreeStorage(&reply);
  }
  ZEVP_FreeMetafileRecords(&connection->Records);
  return sent ? count : 0;
}

int ZEVP_MetaServerSockServerRoutine(DPAB* anchor, ProcessEntry* entry) {
  Server server{anchor, entry};
  uint16_t port = htons(zevp::MetafilePort());
  sockaddr_in address{};
  // Without address reuse on the UDP socket: it marks the port as taken (ZEVP_IsMetaServerActive).
  server.udpSocket = ZEV0_OpenLocalSocket(SOCK_DGRAM, port, &address, 1);
  server.listenSocket = server.udpSocket < 0 ? -1 : ZEV0_OpenLocalSocket(SOCK_STREAM, port, &address, 0);
  bool listening = false;
  if (server.listenSocket < 0) {
    TRC(TRC_ERROR, "***** Meta Server already running. Exit *****");
    zevp::MetaServerDPlog(anchor, ZEVP_DPLOG_META_ALREADY_ACTIVE);
  } else if (listen(server.listenSocket, kListenBacklog) != 0) {
    int error = errno;
    ZEV0_CloseTheSocket(server.listenSocket);
    server.listenSocket = -1;
    zevp::MetaServerDPlog(anchor, ZEVP_DPLOG_META_LISTEN_FAILED, "TCP Socket", std::to_string(error).c_str());
  } else {
    listening = true;
  }
  zevp::ReportMetaServerStart(entry, false);
  if (!listening) {
    if (server.udpSocket >= 0) ZEV0_CloseTheSocket(server.udpSocket);
    return 1;
  }
  zevp::MetaServerDPlog(anchor, ZEVP_DPLOG_META_SERVER_READY);
  anchor->metaServerListening = 1;
  server.run();
  server.end();
  return 1;
}
