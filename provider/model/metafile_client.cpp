// The metafile client: connects to the metafile server, then fetches, one at a
// time, the metafiles that this data provider's threads ask for (the hand-over
// is in metafile_hand_over.h). A lost connection is made again after 10 seconds;
// a server that is not there yet is tried again every 60 seconds.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "bsv1.h"
#include "dp_anchor.h"
#include "dp_log_numbers.h"
#include "metafile_exchange_format.h"
#include "metafile_hand_over.h"
#include "metafile_request_area.h"
#include "metafile_server.h"
#include "metafile_server_task.h"
#include "metafile_socket_io.h"
#include "process_entry.h"
#include "shutdown_request.h"
#include "trc1.h"
#include "zev0/codepage.h"
#include "zev0/hostnames.h"
#include "zev0/sockets.h"

TRC_UNIT();

namespace {

constexpr int kConnectWaitMs = 5000;
constexpr int kConnectRetrySeconds = 60;
constexpr int kReconnectSeconds = 10;
constexpr size_t kReceivePiece = 255;
// How often a reply's wait looks whether the data provider ends.
constexpr long long kEndLookMs = 1000;

bool brokenConnection(int error) {
  return error == ECONNRESET || error == ECONNABORTED || error == ENETRESET || error == ESHUTDOWN ||
         error == EPIPE || error == ENOTCONN;
}

enum class Connect { Connected, NotYet, Failed };

class Client {
 public:
  Client(DPAB* anchor, ProcessEntry* entry) : anchor_(anchor), entry_(entry) {}
  int run();

 private:
  bool stopAsked() const { return entry_->terminationFlag != 0; }
  // A fetch is given up as soon as the data provider ends, so that its requester
  // (the start, which waits for its answer) is not kept waiting.
  bool ending() const { return stopAsked() || zevp::ShutdownRequested(anchor_); }
  void pause(int seconds);
  bool openSocket();
  void closeSocket();
  Connect connectOnce();
  bool takeArea();
  bool serve();
  int32_t fetch(const char* metafileName);
  int32_t receiveReply();
  int32_t broken();
  void drain();

  DPAB* anchor_;
  ProcessEntry* entry_;
  const char* serverHost_ = nullptr;
  sockaddr_in server_{};
  std::string serverAddress_;
  std::string serverPort_;
  int socket_ = -1;
  MFRA* area_ = nullptr;
};

// Whole seconds through the clock seam, cut short by a stop.
void Client::pause(int seconds) {
  for (int i = 0; i < seconds && !stopAsked(); ++i) BSV1_Sleep(1);
}

bool Client::openSocket() {
  sockaddr_in local{};
  socket_ = ZEV0_OpenLocalSocket(SOCK_STREAM, 0, &local, 0);
  if (socket_ < 0) {
    TRC(TRC_ERROR, "***** unable to open socket for communication to Meta Server, remote service unavailable");
    zevp::MetaServerDPlog(anchor_, ZEVP_DPLOG_META_CLIENT_UNAVAILABLE);
  }
  return socket_ >= 0;
}

void Client::closeSocket() {
  if (socket_ >= 0) ZEV0_CloseTheSocket(socket_);
  socket_ = -1;
}

// A server that refuses the connection or does not answer within the wait is
// tried again later; any other error ends the client.
Connect Client::connectOnce() {
  TRC(TRC_DETAIL, "Try connect to metafile server at %s port %s", serverAddress_.c_str(), serverPort_.c_str());
  if (::connect(socket_, reinterpret_cast<const sockaddr*>(&server_), sizeof server_) == 0) return Connect::Connected;
  int error = errno;
  if (error == ECONNREFUSED) return Connect::NotYet;
  if (error != EINPROGRESS && error != EWOULDBLOCK && error != EAGAIN && error != EINTR) {
    TRC(TRC_ERROR, "***** connect to metafile server failed, errno %d", error);
    return Connect::Failed;
  }
  int events = zevp::WaitForSocket(socket_, POLLOUT, kConnectWaitMs);
  if (events <= 0) return Connect::NotYet;
  // A refused connection is writable too: only a clear socket error is a connection.
  int socketError = 0;
  socklen_t length = sizeof socketError;
  if (getsockopt(socket_, SOL_SOCKET, SO_ERROR, &socketError, &length) == 0 && socketError == 0) {
    TRC(TRC_DETAIL, "TCP connect to metafile server successful.");
    return Connect::Connected;
  }
  TRC(TRC_DETAIL, "TCP connect to metafile server not made, errno %d", socketError);
  return Connect::NotYet;
}

// The area lives from the first connection until the anchor is released, so a
// requester that found it on the anchor never finds it freed.
bool Client::takeArea() {
  if (area_ != nullptr) return true;
  area_ = anchor_->metafileExchange;
  if (area_ == nullptr) area_ = ZEVP_NewRequestArea();
  if (area_ == nullptr) {
    TRC(TRC_ERROR, "*** unable to obtain storage for metafile request area");
    zevp::MetaServerDPlog(anchor_, ZEVP_DPLOG_META_CLIENT_NO_STORAGE);
    return false;
  }
  anchor_->metafileExchange = area_;
  return true;
}

int32_t Client::broken() {
  TRC(TRC_ERROR, ">>> connection to metafile server broken detected");
  zevp::MetaServerDPlog(anchor_, ZEVP_DPLOG_META_SERVER_LOST);
  return ZEVP_MFRA_CONNECTION_BROKEN;
}

// The status of the reply; with 0 its records are in the area. A reply is taken
// only whole: one that has not all come within the reply wait is refused.
int32_t Client::receiveReply() {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(zevp::MetafileReplyWait());
  zevp::MetafileReplyReader reader;
  bool anyReceived = false;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      TRC(TRC_ERROR, "*** metafile reply %s within %d seconds", anyReceived ? "incomplete" : "not received",
          zevp::MetafileReplyWait());
      return anyReceived ? ZEVP_MFRA_INVALID_RECORDS : ZEVP_MFRA_REQUEST_PENDING;
    }
    if (ending()) {
      TRC(TRC_ERROR, "*** metafile reply not awaited: the data provider is ending");
      return ZEVP_MFRA_REQUEST_PENDING;
    }
    if (zevp::WaitForSocket(socket_, POLLIN, static_cast<int>(std::min<long long>(left, kEndLookMs))) <= 0) continue;
    char piece[kReceivePiece];
    ssize_t received = recv(socket_, piece, sizeof piece, 0);
    if (received == 0 || (received < 0 && brokenConnection(errno))) return broken();
    if (received < 0) continue;
    anyReceived = true;
    ZEV0_ConvertDataToLocal(piece, static_cast<int32_t>(received));
    switch (reader.add(piece, static_cast<size_t>(received))) {
      case zevp::MetafileReplyReader::State::Incomplete:
        continue;
      case zevp::MetafileReplyReader::State::Invalid:
        return ZEVP_MFRA_INVALID_RECORDS;
      case zevp::MetafileReplyReader::State::Complete:
        break;
    }
    if (reader.status() != 0) {
      TRC(TRC_ERROR, "metafile retrieve error. Status %d", reader.status());
      // Only the server's own statuses (positive) pass; the negative ones are the client's.
      return reader.status() > 0 ? reader.status() : ZEVP_MFRA_INVALID_RECORDS;
    }
    for (const std::string& record : reader.records()) {
      if (!ZEVP_AppendMetafileRecord(&area_->Records, record.c_str(), static_cast<uint32_t>(record.size()))) {
        TRC(TRC_ERROR, "*** unable to get metafile record buffer storage");
        return ZEVP_MFRA_INVALID_RECORDS;
      }
    }
    return ZEVP_MFRA_RECEIVED;
  }
}

int32_t Client::fetch(const char* metafileName) {
  if (area_->Records.first != nullptr) {
    TRC(TRC_ERROR, "*** Previous file data unprocessed. Free buffer storage");
    ZEVP_FreeMetafileRecords(&area_->Records);
  }
  std::string request = zevp::MetafileRequest(metafileName);
  if (request.empty()) return ZEVP_MFRA_REQUEST_PENDING;
  ZEV0_ConvertDataToNetwork(request.data(), static_cast<int32_t>(request.size()));
  int error = 0;
  if (!zevp::SendWithin(socket_, request.data(), request.size(), zevp::MetafileReplyWait(), &error)) {
    if (brokenConnection(error)) return broken();
    TRC(TRC_ERROR, "*** send metafile request to server failed. abort request");
    return ZEVP_MFRA_REQUEST_PENDING;
  }
  return receiveReply();
}

// Bytes of a reply that came after it was taken (or too late) are not the next one's.
void Client::drain() {
  char piece[kReceivePiece];
  while (recv(socket_, piece, sizeof piece, 0) > 0) {
  }
}

// Serves requests until a stop (false) or a lost connection (true).
bool Client::serve() {
  zevp::AttachClient(area_, entry_);
  pthread_mutex_lock(&entry_->mutex);
  zevp::MetaServerDPlog(anchor_, ZEVP_DPLOG_META_CLIENT_CONNECTED, serverHost_);
  bool lost = false;
  while (!lost) {
    while (!stopAsked() && !zevp::RequestPosted(area_)) pthread_cond_wait(&entry_->condition, &entry_->mutex);
    if (stopAsked()) break;
    const char* name = zevp::PostedRequest(area_);
    // The server answers no request without a name: its requester would wait out the reply wait.
    if (name == nullptr || name[std::strspn(name, " ")] == '\0') {
      TRC(TRC_ERROR, "*** invlide request. Metafaile name unspecified");
      zevp::AnswerRequest(area_, ZEVP_MFRA_REQUEST_PENDING);
      continue;
    }
    int32_t status = fetch(name);
    if (status != ZEVP_MFRA_RECEIVED) ZEVP_FreeMetafileRecords(&area_->Records);
    zevp::AnswerRequest(area_, status);
    lost = status == ZEVP_MFRA_CONNECTION_BROKEN;
    if (!lost) drain();
  }
  zevp::DetachClient(area_, entry_);
  return lost;
}

int Client::run() {
  serverHost_ = static_cast<const char*>(entry_->parameter);
  if (!openSocket()) {
    zevp::ReportMetaServerStart(entry_, false);
    return 1;
  }
  uint16_t port = zevp::MetafilePort();
  if (!ZEV0_ConvertNameToAddr(serverHost_, port, &server_)) {
    TRC(TRC_ERROR, "***** metafile server host %s not found", serverHost_);
    closeSocket();
    zevp::MetaServerDPlog(anchor_, ZEVP_DPLOG_META_CLIENT_UNAVAILABLE);
    zevp::ReportMetaServerStart(entry_, true);
    return 0;
  }
  serverAddress_ = zevp::DottedAddress(server_);
  serverPort_ = std::to_string(port);
  zevp::ReportMetaServerStart(entry_, false);

  bool retryReported = false;
  while (socket_ >= 0 && !stopAsked()) {
    Connect result = connectOnce();
    if (result == Connect::Failed) {
      zevp::MetaServerDPlog(anchor_, ZEVP_DPLOG_META_CONNECT_FAILED, serverAddress_.c_str(), serverPort_.c_str());
      break;
    }
    int wait = kConnectRetrySeconds;
    if (result == Connect::NotYet) {
      TRC(TRC_DETAIL, "TCP connect to metafile server timed out. connection pending");
      if (!retryReported)
        zevp::MetaServerDPlog(anchor_, ZEVP_DPLOG_META_CONNECT_RETRY, serverHost_,
                              std::to_string(kConnectRetrySeconds).c_str());
      retryReported = true;
    } else {
      if (!takeArea()) break;
      if (!serve()) break;
      wait = kReconnectSeconds;
    }
    // A socket whose connection failed or broke is not connected again.
    closeSocket();
    pause(wait);
    if (!stopAsked()) openSocket();
  }
  closeSocket();
  return 1;
}

}  // namespace

int ZEVP_MetaServerSockClientRoutine(DPAB* anchor, ProcessEntry* entry) { return Client(anchor, entry).run(); }
