#include "post_connections.h"

#include <algorithm>

#include "trc1.h"
#include "zev0/sockets.h"

TRC_UNIT();

namespace zevp {

PostConnections::~PostConnections() {
  for (const Connection& connection : connections_) ZEV0_CloseTheSocket(connection.socket);
}

void PostConnections::add(int socket, const sockaddr_in& peer) {
  if (!connections_.empty() && connections_.size() >= limit_) {
    auto idlest = std::min_element(connections_.begin(), connections_.end(),
                                   [](const Connection& a, const Connection& b) { return a.lastUse < b.lastUse; });
    TRC(TRC_ERROR, "*** %d TCP connections open: the one idle longest, socket %d, closed", static_cast<int>(limit_),
        idlest->socket);
    close(idlest->socket);
  }
  connections_.push_back(Connection{socket, peer, ++uses_});
}

void PostConnections::close(int socket) {
  auto found = std::find_if(connections_.begin(), connections_.end(),
                            [socket](const Connection& connection) { return connection.socket == socket; });
  if (found == connections_.end()) return;
  ZEV0_CloseTheSocket(socket);
  connections_.erase(found);
}

void PostConnections::used(int socket) {
  for (Connection& connection : connections_)
    if (connection.socket == socket) connection.lastUse = ++uses_;
}

const PostConnections::Connection* PostConnections::find(int socket) const {
  for (const Connection& connection : connections_)
    if (connection.socket == socket) return &connection;
  return nullptr;
}

}  // namespace zevp
