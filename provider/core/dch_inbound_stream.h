// The bytes the agent sends on the DCH socket, cut into whole messages.
//
// Over TCP a message may arrive in pieces and several may share one segment. The
// stream keeps what has come, hands out each whole message by its declared total
// length, and keeps the start of an unfinished one (shorter than its length word
// too) for the next receive. A declared length under the smallest message or over
// the cap is a broken peer: the connection is dropped rather than waited on, so
// what is kept never grows past one message of the cap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class DCHinboundStream {
 public:
  // A length word and one field header.
  static constexpr uint32_t kSmallestMessage = 10;
  // Far above anything the agent sends to a data provider.
  static constexpr uint32_t kLargestMessage = 64 * 1024;

  enum class Next {
    message,    // *message and *length describe the first whole message
    needMore,   // the rest of the first message has not come yet
    badLength,  // the first message declares a length no agent sends
  };

  // Adds the bytes of one receive behind those kept.
  void append(const char* bytes, size_t count);
  // The first message, which stays valid until pop() or append(). The bytes may be
  // converted in place by a parser.
  Next front(char** message, uint32_t* length);
  // Drops the first message (after front() gave Next::message).
  void pop();
  // Bytes kept that belong to no whole message yet.
  size_t held() const { return bytes_.size() - start_; }

 private:
  std::vector<char> bytes_;
  size_t start_ = 0;
};
