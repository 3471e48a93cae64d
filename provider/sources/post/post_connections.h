// The TCP connections of the POST port: each is served until its sender closes it,
// a bounded number at once; a new one beyond the bound closes the one that has been
// idle longest.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zevp {

class PostConnections {
 public:
  struct Connection {
    int socket;
    sockaddr_in peer;
    uint64_t lastUse;  // the order of use: the smallest was idle longest
  };

  explicit PostConnections(size_t limit) : limit_(limit) {}
  // Closes every connection still open.
  ~PostConnections();
  PostConnections(const PostConnections&) = delete;
  PostConnections& operator=(const PostConnections&) = delete;

  // Takes a connection; when the bound is reached the one idle longest is closed
  // first (traced).
  void add(int socket, const sockaddr_in& peer);
  // Closes a connection and forgets it.
  void close(int socket);
  // A message came on the connection.
  void used(int socket);
  // The connection of the socket, or null.
  const Connection* find(int socket) const;
  const std::vector<Connection>& all() const { return connections_; }

 private:
  size_t limit_;
  uint64_t uses_ = 0;
  std::vector<Connection> connections_;
};

}  // namespace zevp
