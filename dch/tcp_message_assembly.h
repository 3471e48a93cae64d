// One DCH message arriving over a TCP connection in pieces. The message declares its total
// length in its first four bytes (big-endian, counting themselves); the pieces are joined in
// a buffer of the connection's that grows with what actually arrives, so a peer's declaration
// alone never reserves memory. The server's loop feeds each piece as it is read and goes on
// serving other sockets in between.
#pragma once

#include <chrono>
#include <cstdint>

// The shortest request (total, field header, request code), and the most that the server's
// 1024 pieces of 4096 bytes ever carried.
constexpr uint32_t TCP_MESSAGE_MIN_BYTES = 12;
constexpr uint32_t TCP_MESSAGE_MAX_BYTES = 1023u * 4096u;

enum class TcpMessageState {
  partial,       // more bytes are due
  complete,      // data() holds exactly the declared total
  wrongLength,   // more bytes came than declared, or the message cannot be kept: ask for it again
  refusedTotal,  // the declared total is not within 12..TCP_MESSAGE_MAX_BYTES
};

class TcpMessageAssembly {
 public:
  TcpMessageAssembly() = default;
  ~TcpMessageAssembly();
  TcpMessageAssembly(const TcpMessageAssembly&) = delete;
  TcpMessageAssembly& operator=(const TcpMessageAssembly&) = delete;

  // Adds the next piece (bytes > 0). The first piece starts the time-out of timeoutSeconds
  // (0 or less: none) within which the rest must come.
  TcpMessageState add(const char* piece, int bytes, int timeoutSeconds);
  // Forgets the message (the buffer is kept for the next one).
  void reset();
  // Frees the buffer too (the connection is gone).
  void release();

  bool inProgress() const { return totalRead_ > 0; }
  bool expired(std::chrono::steady_clock::time_point now) const { return timed_ && inProgress() && now >= deadline_; }
  // Whether the rest is due by deadline().
  bool timed() const { return timed_ && inProgress(); }
  std::chrono::steady_clock::time_point deadline() const { return deadline_; }
  const char* data() const { return buffer_; }
  uint32_t totalRead() const { return totalRead_; }
  uint32_t totalLen() const { return totalLen_; }
  int pieces() const { return pieces_; }

 private:
  TcpMessageState join(const char* piece, int bytes);
  bool keep(const char* piece, uint32_t bytes);
  bool reserve(uint32_t needed);
  void freeBuffer();
  void clearState();

  char* buffer_ = nullptr;
  uint32_t capacity_ = 0;
  uint32_t kept_ = 0;
  uint32_t totalRead_ = 0;
  char head_[4] = {};  // the declared total, as it comes in
  uint32_t totalLen_ = 0;  // known once four bytes are in
  bool lengthKnown_ = false;
  bool dropping_ = false;  // the buffer could not grow: the bytes are counted, not kept
  int pieces_ = 0;
  bool timed_ = false;
  std::chrono::steady_clock::time_point deadline_{};
};
