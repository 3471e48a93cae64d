// Cutting the agent's bytes into messages: every way of splitting them over
// receives gives the same messages, and a length no agent sends is refused
// before anything waits for it.
#include "dch_inbound_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A status reply (14 bytes) and an online reply with its handle (24 bytes).
const std::string kStatusReply("\x00\x00\x00\x0E\x00\x00\x00\x0A\x00\x11\x00\x00\x00\x07", 14);
const std::string kOnlineReply(
    "\x00\x00\x00\x18\x00\x00\x00\x0A\x00\x11\x00\x00\x00\x00\x00\x00\x00\x0A\x00\x80\x00\x00\x00\x05", 24);

std::vector<std::string> drain(DCHinboundStream& stream) {
  std::vector<std::string> messages;
  char* message;
  uint32_t length;
  while (stream.front(&message, &length) == DCHinboundStream::Next::message) {
    messages.emplace_back(message, length);
    stream.pop();
  }
  return messages;
}

TEST(DCHinboundStreamTest, AnySplitOfTheBytesGivesTheSameMessages) {
  const std::string bytes = kStatusReply + kOnlineReply + kStatusReply;
  for (size_t first = 0; first <= bytes.size(); ++first) {
    for (size_t second = first; second <= bytes.size(); ++second) {
      SCOPED_TRACE("split at " + std::to_string(first) + " and " + std::to_string(second));
      DCHinboundStream stream;
      std::vector<std::string> messages;
      for (auto [from, to] : {std::pair{size_t{0}, first}, {first, second}, {second, bytes.size()}}) {
        stream.append(bytes.data() + from, to - from);
        for (std::string& message : drain(stream)) messages.push_back(message);
      }
      EXPECT_EQ(messages, (std::vector<std::string>{kStatusReply, kOnlineReply, kStatusReply}));
      EXPECT_EQ(stream.held(), 0u);
    }
  }
}

TEST(DCHinboundStreamTest, UnfinishedMessageIsKeptWithItsLengthWordCut) {
  DCHinboundStream stream;
  stream.append(kOnlineReply.data(), 3);
  char* message;
  uint32_t length;
  EXPECT_EQ(stream.front(&message, &length), DCHinboundStream::Next::needMore);
  EXPECT_EQ(stream.held(), 3u);
  stream.append(kOnlineReply.data() + 3, kOnlineReply.size() - 4);
  EXPECT_EQ(stream.front(&message, &length), DCHinboundStream::Next::needMore);
  stream.append(kOnlineReply.data() + kOnlineReply.size() - 1, 1);
  ASSERT_EQ(stream.front(&message, &length), DCHinboundStream::Next::message);
  EXPECT_EQ(std::string(message, length), kOnlineReply);
}

TEST(DCHinboundStreamTest, LengthsNoAgentSendsAreRefusedAtOnce) {
  struct {
    const char* name;
    std::string lengthWord;
  } const cases[] = {
      {"zero, which would never advance", std::string("\x00\x00\x00\x00", 4)},
      {"the length word alone", std::string("\x00\x00\x00\x04", 4)},
      {"one byte short of a field header", std::string("\x00\x00\x00\x09", 4)},
      {"just over 64 KiB", std::string("\x00\x01\x00\x01", 4)},
      {"all bits set", std::string("\xFF\xFF\xFF\xFF", 4)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DCHinboundStream stream;
    stream.append(kStatusReply.data(), kStatusReply.size());
    stream.append(c.lengthWord.data(), c.lengthWord.size());
    EXPECT_EQ(drain(stream), std::vector<std::string>{kStatusReply});
    char* message;
    uint32_t length;
    EXPECT_EQ(stream.front(&message, &length), DCHinboundStream::Next::badLength);
  }
}

TEST(DCHinboundStreamTest, LargestMessageIsTaken) {
  std::string largest(DCHinboundStream::kLargestMessage, '\0');
  largest.replace(0, 4, std::string("\x00\x01\x00\x00", 4));
  DCHinboundStream stream;
  stream.append(largest.data(), largest.size());
  EXPECT_EQ(drain(stream), std::vector<std::string>{largest});
}

}  // namespace
