// The request ring: slot buffer sizes and growth, zero bytes behind each message, the
// sender and the message kind travelling with it, refused puts, failed allocations,
// blocking at four waiting messages, and first-in first-out order across the wrap.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "dch/ipc_circular_buffer.h"
#include "trace_capture.h"

namespace {

// The allocation seam: counts the buffers handed out and fails them on request.
std::atomic<int> allocations{0};
std::atomic<bool> failAllocations{false};

char* countingAllocator(int size) {
  if (failAllocations.load()) return nullptr;
  ++allocations;
  return new (std::nothrow) char[size];
}

struct Taken {
  int rc = -1;
  std::string message;  // up to the first NUL
  std::string clientName;
  int clientAddrLen = -1;
  unsigned char clientAddr[IPC_CLIENT_ADDR_SIZE] = {};
  unsigned int connectedSockFD = 0;
  DCHmessageKind kind = DCHmessageKind::message;
  unsigned int generation = 0;
};

class RingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    allocations = 0;
    failAllocations = false;
  }
  void TearDown() override { delete[] buffer_; }

  int put(const std::string& message, const char* clientName = "127.0.0.1", unsigned int sockFD = 0,
          DCHmessageKind kind = DCHmessageKind::message, unsigned int generation = 0) {
    const unsigned char address[16] = {2, 0, 0x07, 0x7f, 127, 0, 0, 1};
    return ring_.put(static_cast<int>(message.size()), message.data(), address, sizeof address, clientName, sockFD,
                     kind, generation);
  }

  // Takes the oldest message into the test's reader buffer (kept across takes).
  Taken take() { return takeInto(&buffer_, &bufferSize_); }

  // Takes into a new reader buffer, whose size then tells the slot buffer's size.
  int slotSizeOfNextTake() {
    char* fresh = nullptr;
    int size = 0;
    EXPECT_EQ(takeInto(&fresh, &size).rc, 0);
    delete[] fresh;
    return size;
  }

  Taken takeInto(char** buffer, int* size) {
    Taken t;
    char name[IPC_CLIENT_NAME_SIZE];
    t.rc = ring_.get(buffer, size, t.clientAddr, &t.clientAddrLen, name, &t.connectedSockFD, &t.kind, &t.generation);
    if (t.rc == 0) {
      t.message = *buffer;
      t.clientName = name;
    }
    return t;
  }

  // Fills every slot once with a short message, so each has a 4096-byte buffer, and
  // leaves the ring empty with slot 0 next.
  void useEverySlotOnce() {
    for (int i = 0; i < IPC_QSIZE; ++i) {
      ASSERT_EQ(put("short"), 0);
      ASSERT_EQ(take().rc, 0);
    }
  }

  ipcCircularBuffer ring_{this, countingAllocator};
  char* buffer_ = nullptr;
  int bufferSize_ = 0;
};

// The size of the first buffer of a fresh ring's slot, as a reader with no buffer of its
// own receives it, after checking that the message comes out whole.
int firstSlotSize(int length) {
  ipcCircularBuffer ring(nullptr);
  std::string message(static_cast<size_t>(length), 'm');
  EXPECT_EQ(ring.put(length, message.data(), nullptr, 0, nullptr, 0, DCHmessageKind::message, 0), 0);
  char* reader = nullptr;
  int readerSize = 0;
  unsigned char address[IPC_CLIENT_ADDR_SIZE];
  char name[IPC_CLIENT_NAME_SIZE];
  int addressLen = 0;
  unsigned int sockFD = 0, generation = 0;
  DCHmessageKind kind;
  EXPECT_EQ(ring.get(&reader, &readerSize, address, &addressLen, name, &sockFD, &kind, &generation), 0);
  EXPECT_EQ(std::string(reader), message);
  delete[] reader;
  return readerSize;
}

TEST(RingSlotTest, FirstSlotBufferFitsTheMessageAndOneZeroByte) {
  const struct {
    int length;
    int slotSize;
  } cases[] = {{0, 4096}, {100, 4096}, {4095, 4096}, {4096, 4097}, {10000, 10001}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    EXPECT_EQ(firstSlotSize(c.length), c.slotSize);
  }
}

TEST_F(RingTest, SlotBufferGrowsInStepsOf4096) {
  useEverySlotOnce();
  TraceCapture capture("*=0x90");
  ASSERT_EQ(put(std::string(4096, 'a')), 0);  // slot 0: 4096 -> 8192
  ASSERT_EQ(put(std::string(8192, 'b')), 0);  // slot 1: 4096 -> 12288
  ASSERT_EQ(put(std::string(10, 'c')), 0);    // slot 2: kept at 4096
  EXPECT_TRUE(capture.contains("Note: reallocating buffer to 8192 bytes."));
  EXPECT_TRUE(capture.contains("Note: reallocating buffer to 12288 bytes."));
  EXPECT_EQ(slotSizeOfNextTake(), 8192);
  EXPECT_EQ(slotSizeOfNextTake(), 12288);
  EXPECT_EQ(slotSizeOfNextTake(), 4096);
}

TEST_F(RingTest, SlotBuffersAreReusedOnceLargeEnough) {
  useEverySlotOnce();
  EXPECT_EQ(allocations, IPC_QSIZE + 1);  // five slots and the reader's buffer
  useEverySlotOnce();
  EXPECT_EQ(allocations, IPC_QSIZE + 1);
}

TEST_F(RingTest, MessageIsFollowedByZeroBytes) {
  // A reader buffer larger than the slot's is kept, and everything behind the message is zero.
  bufferSize_ = 10000;
  buffer_ = new char[bufferSize_];
  char* readerBuffer = buffer_;
  memset(buffer_, 0xAA, static_cast<size_t>(bufferSize_));
  ASSERT_EQ(put(std::string(3000, 'x')), 0);
  ASSERT_EQ(take().message, std::string(3000, 'x'));
  ASSERT_EQ(put("tiny"), 0);
  EXPECT_EQ(take().message, "tiny");
  EXPECT_EQ(buffer_, readerBuffer);
  EXPECT_EQ(bufferSize_, 10000);
  for (int i = 4; i < bufferSize_; ++i) ASSERT_EQ(buffer_[i], 0) << "byte " << i;
}

TEST_F(RingTest, SmallReaderBufferIsReplaced) {
  bufferSize_ = 16;
  buffer_ = new char[bufferSize_];
  ASSERT_EQ(put(std::string(5000, 'x')), 0);
  TraceCapture capture;
  EXPECT_EQ(take().message, std::string(5000, 'x'));
  EXPECT_EQ(bufferSize_, 5001);
  EXPECT_TRUE(capture.contains("Note: reallocating buffer to 5001 bytes."));
}

TEST_F(RingTest, SenderKindAndGenerationTravelWithTheMessage) {
  const struct {
    DCHmessageKind kind;
    const char* text;
    unsigned int sockFD;
    unsigned int generation;
  } cases[] = {
      {DCHmessageKind::serverReady, DCH_SERVER_READY_TEXT, 0, 0},
      {DCHmessageKind::message, "a DCH message", 7, 3},
      {DCHmessageKind::disconnect, DCH_DISCONNECT_TEXT, 7, 3},
      {DCHmessageKind::resend, DCH_RESEND_TEXT, 9, 12},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(DCH_MessageKindText(c.kind));
    ASSERT_EQ(put(c.text, "10.1.2.3", c.sockFD, c.kind, c.generation), 0);
    Taken t = take();
    ASSERT_EQ(t.rc, 0);
    EXPECT_EQ(t.kind, c.kind);
    EXPECT_EQ(t.connectedSockFD, c.sockFD);
    EXPECT_EQ(t.generation, c.generation);
    EXPECT_EQ(t.clientName, "10.1.2.3");
    ASSERT_EQ(t.clientAddrLen, 16);
    EXPECT_EQ(t.clientAddr[4], 127);
    EXPECT_EQ(t.clientAddr[7], 1);
  }
}

TEST_F(RingTest, ClientNameIsBlanksWhenAbsentAndCutAt255) {
  ASSERT_EQ(put(DCH_SERVER_READY_TEXT, nullptr, 0, DCHmessageKind::serverReady), 0);
  EXPECT_EQ(take().clientName, std::string(255, ' '));
  const std::string longName(400, 'n');
  ASSERT_EQ(put("message", longName.c_str()), 0);
  EXPECT_EQ(take().clientName, std::string(255, 'n'));
}

TEST_F(RingTest, BadPutsAreRefusedAndLeaveTheRingAsItWas) {
  const unsigned char address[IPC_CLIENT_ADDR_SIZE + 1] = {};
  const char message[] = "m";
  const struct {
    const char* label;
    int length;
    const void* message;
    int addressLen;
    const char* name;
  } cases[] = {
      {"negative length", -1, message, 16, nullptr},
      {"no message", 10, nullptr, 16, nullptr},
      {"address longer than 256", 1, message, IPC_CLIENT_ADDR_SIZE + 1, nullptr},
      {"negative address length", 1, message, -1, nullptr},
      {"client name shorter than 5", 1, message, 16, "abcd"},
      {"buffer size past the int range", INT_MAX, message, 16, nullptr},
  };
  TraceCapture capture;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(ring_.put(c.length, c.message, address, c.addressLen, c.name, 0, DCHmessageKind::message, 0), 1);
  }
  EXPECT_TRUE(capture.contains("Error: ipcClientName ptr problem"));
  ASSERT_EQ(put("good"), 0);
  EXPECT_EQ(take().message, "good");
}

TEST_F(RingTest, FailedSlotAllocationKeepsTheOldBuffer) {
  useEverySlotOnce();
  int before = allocations;
  failAllocations = true;
  TraceCapture capture;
  EXPECT_EQ(put(std::string(5000, 'x')), 1);  // slot 0 would grow: the message is dropped
  EXPECT_TRUE(capture.contains("Error: allocating 8192 bytes."));
  failAllocations = false;
  // Slot 0 is still free and still has its 4096-byte buffer: no allocation, and the
  // dropped message never shows.
  ASSERT_EQ(put("after"), 0);
  EXPECT_EQ(allocations, before);
  EXPECT_EQ(take().message, "after");
}

TEST_F(RingTest, FailedReaderAllocationLeavesTheMessageWaiting) {
  ASSERT_EQ(put("first"), 0);
  ASSERT_EQ(put("second"), 0);
  failAllocations = true;
  TraceCapture capture;
  EXPECT_EQ(take().rc, 1);
  EXPECT_TRUE(capture.contains("Error: allocating 4096 bytes."));
  EXPECT_EQ(buffer_, nullptr);

  failAllocations = false;
  bufferSize_ = 8;
  buffer_ = new char[bufferSize_];
  char* small = buffer_;
  failAllocations = true;
  EXPECT_EQ(take().rc, 1);
  EXPECT_TRUE(capture.contains("Error: reallocating 4096 bytes."));
  EXPECT_EQ(buffer_, small);  // still the reader's, not freed
  EXPECT_EQ(bufferSize_, 8);

  failAllocations = false;
  EXPECT_EQ(take().message, "first");
  EXPECT_EQ(take().message, "second");
}

TEST_F(RingTest, OrderIsKeptAcrossTheWrap) {
  ASSERT_EQ(put("0"), 0);
  ASSERT_EQ(put("1"), 0);
  ASSERT_EQ(put("2"), 0);
  EXPECT_EQ(take().message, "0");
  EXPECT_EQ(take().message, "1");
  EXPECT_EQ(take().message, "2");
  // Slots 3, 4, 0 and 1.
  for (const char* m : {"3", "4", "5", "6"}) ASSERT_EQ(put(m), 0);
  for (const char* m : {"3", "4", "5", "6"}) EXPECT_EQ(take().message, m);
}

// Waits (at most a few seconds, polling every millisecond) until the capture holds the text.
bool eventuallyTraced(TraceCapture& capture, const std::string& text) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!capture.contains(text)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TEST_F(RingTest, FifthPutBlocksUntilAGet) {
  TraceCapture capture("*=0x90");
  for (int i = 0; i < 4; ++i) ASSERT_EQ(put(std::to_string(i)), 0);
  std::atomic<bool> fifthStored{false};
  std::thread writer([&] {
    EXPECT_EQ(put("4"), 0);
    fifthStored = true;
  });
  ASSERT_TRUE(eventuallyTraced(capture, "Waiting for circular buffers to be freed."));
  EXPECT_FALSE(fifthStored);
  EXPECT_EQ(take().message, "0");
  writer.join();
  EXPECT_TRUE(fifthStored);
  for (const char* m : {"1", "2", "3", "4"}) EXPECT_EQ(take().message, m);
}

TEST_F(RingTest, GetWaitsForAPut) {
  TraceCapture capture("*=0x90");
  Taken taken;
  std::thread reader([&] { taken = take(); });
  ASSERT_TRUE(eventuallyTraced(capture, "Waiting for circular buffers to be populated."));
  ASSERT_EQ(put("wake"), 0);
  reader.join();
  EXPECT_EQ(taken.rc, 0);
  EXPECT_EQ(taken.message, "wake");
}

TEST_F(RingTest, WriterAndReaderThreadsKeepTheOrder) {
  constexpr int kMessages = 200;
  std::thread writer([&] {
    for (int i = 0; i < kMessages; ++i) {
      // Lengths vary so that slot buffers grow while the reader works.
      std::string message = std::to_string(i) + std::string(static_cast<size_t>(i * 50), '.');
      ASSERT_EQ(put(message, "127.0.0.1", static_cast<unsigned int>(i)), 0);
    }
  });
  for (int i = 0; i < kMessages; ++i) {
    Taken t = take();
    ASSERT_EQ(t.rc, 0);
    ASSERT_EQ(t.connectedSockFD, static_cast<unsigned int>(i));
    ASSERT_EQ(t.message, std::to_string(i) + std::string(static_cast<size_t>(i * 50), '.'));
  }
  writer.join();
}

}  // namespace
