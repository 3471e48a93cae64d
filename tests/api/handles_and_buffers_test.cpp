// Handles, buffers and the formatting of values, in process (no data provider needed).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "api_test_settings.h"
#include "records.h"
#include "zevpapi/dp_api.h"

namespace {

APIbuffer* BlockOf(void* data) { return zevpapi::BlockOfUserBuffer(data); }

std::string DataOf(void* data) {
  APIbuffer* block = BlockOf(data);
  return std::string(block->data, static_cast<size_t>(block->cursor - block->data));
}

class HandlesAndBuffersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseLoopbackSettings();
    int status = -1;
    handle_ = dp_AllocateHandle(&status);
    ASSERT_NE(handle_, nullptr);
    ASSERT_EQ(status, 0);
  }
  void TearDown() override {
    if (handle_ != nullptr) dp_FreeHandle(handle_, nullptr);
  }

  void* buffer(int requestSize = 0) {
    void* data = nullptr;
    int status = -1;
    EXPECT_EQ(dp_AllocateBuffer(handle_, &data, requestSize, &status), 1);
    EXPECT_EQ(status, 0);
    return data;
  }

  APIhandle* handle_ = nullptr;
};

TEST_F(HandlesAndBuffersTest, CapacityIsTheRequestAnd509AndAnEmptyBufferHoldsTheHeaderOnly) {
  const struct {
    int requestSize;
    int capacity;
  } cases[] = {{0, 2557}, {-5, 2557}, {1, 510}, {100, 609}, {2048, 2557}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.requestSize);
    void* data = buffer(c.requestSize);
    ASSERT_NE(data, nullptr);
    APIbuffer* block = BlockOf(data);
    EXPECT_EQ(block->capacity, c.capacity);
    EXPECT_EQ(block->used, 16);
    EXPECT_EQ(std::string(block->eyeCatcher, 16), "ZEVPAPI300      ");
    EXPECT_EQ(block->data, block->eyeCatcher + 16);
  }
}

TEST_F(HandlesAndBuffersTest, AFreedBufferIsReusedForARequestItHoldsAndANewOneMadeOtherwise) {
  void* first = buffer(100);
  void* second = buffer(100);
  EXPECT_NE(first, second);

  ASSERT_EQ(dp_FreeBuffer(first, nullptr), 1);
  EXPECT_EQ(buffer(50), first) << "the freed buffer holds 50 bytes";

  // A reused buffer comes back empty.
  ASSERT_EQ(dp_FormatBufferData(second, "xyz", 3, ZEVP_API_TEXT, nullptr), 1);
  ASSERT_EQ(dp_FreeBuffer(second, nullptr), 1);
  void* again = buffer(100);
  EXPECT_EQ(again, second);
  EXPECT_EQ(BlockOf(again)->used, 16);
  EXPECT_EQ(static_cast<char*>(again)[0], '\0');

  ASSERT_EQ(dp_FreeBuffer(second, nullptr), 1);
  void* larger = buffer(1000);
  EXPECT_NE(larger, first);
  EXPECT_NE(larger, second);
}

TEST_F(HandlesAndBuffersTest, ValuesAreWrittenBetweenTheHandlesDelimiters) {
  const int16_t minusFive = -5;
  const int32_t large = -2147483647 - 1;
  const int64_t wide = 77;  // only its first four bytes are read
  const struct {
    const char* name;
    char begin;
    char end;
    std::string expected;
  } cases[] = {
      {"a fresh handle: a blank after each value", ' ', ' ', "abc -5 -2147483648 77 \n"},
      {"end 'N': back to back", ' ', 'N', "abc-5-214748364877\n"},
      {"both delimiters", '<', '>', "<abc><-5><-2147483648><77>\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    handle_->beginDelimiter = c.begin;
    handle_->endDelimiter = c.end;
    void* data = buffer();
    EXPECT_EQ(dp_FormatBufferData(data, "abc", 3, ZEVP_API_TEXT, nullptr), 1);
    EXPECT_EQ(dp_FormatBufferData(data, &minusFive, 2, ZEVP_API_BINARY_INTEGER, nullptr), 1);
    EXPECT_EQ(dp_FormatBufferData(data, &large, 4, ZEVP_API_BINARY_INTEGER, nullptr), 1);
    EXPECT_EQ(dp_FormatBufferData(data, &wide, 8, ZEVP_API_BINARY_INTEGER, nullptr), 1);
    EXPECT_EQ(dp_FormatBufferData(data, "\n", 1, 99, nullptr), 1) << "a lone newline is never wrapped";
    EXPECT_EQ(DataOf(data), c.expected);
    EXPECT_EQ(BlockOf(data)->used, 16 + static_cast<int>(c.expected.size()));
    dp_FreeBuffer(data, nullptr);
  }
}

TEST_F(HandlesAndBuffersTest, TextAndASixteenBitIntegerGiveTheirTextWithBlanks) {
  void* data = buffer();
  const int16_t minusFive = -5;
  ASSERT_EQ(dp_FormatBufferData(data, "abc", 3, ZEVP_API_TEXT, nullptr), 1);
  ASSERT_EQ(dp_FormatBufferData(data, &minusFive, 2, ZEVP_API_BINARY_INTEGER, nullptr), 1);
  EXPECT_EQ(DataOf(data), "abc -5 ");
  EXPECT_EQ(BlockOf(data)->used, 23);
}

TEST_F(HandlesAndBuffersTest, AValueIsTakenOnlyWhileTheBufferHasRoomForItAndTwoDelimiters) {
  void* data = buffer(1);  // capacity 510, 16 of them counted as used
  std::string value(492, 'v');
  int status = -1;
  EXPECT_EQ(dp_FormatBufferData(data, value.data(), 493, ZEVP_API_TEXT, &status), 0);
  EXPECT_EQ(status, 47);
  EXPECT_EQ(BlockOf(data)->used, 16);
  EXPECT_EQ(dp_FormatBufferData(data, value.data(), 492, ZEVP_API_TEXT, &status), 1);
  EXPECT_EQ(BlockOf(data)->used, 16 + 493);
  EXPECT_EQ(dp_FormatBufferData(data, "x", 1, ZEVP_API_TEXT, &status), 0);
  EXPECT_EQ(status, 47);
}

// An integer of 1 or 3 bytes would be read as 4, past the value: refused.
TEST_F(HandlesAndBuffersTest, AnIntegerOfOneOrThreeBytesIsRefused) {
  void* data = buffer();
  const unsigned char bytes[3] = {1, 2, 3};
  for (int size : {1, 3}) {
    int status = -1;
    EXPECT_EQ(dp_FormatBufferData(data, bytes, size, ZEVP_API_BINARY_INTEGER, &status), 0) << size;
    EXPECT_EQ(status, 46) << size;
  }
  EXPECT_EQ(BlockOf(data)->used, 16);
}

TEST_F(HandlesAndBuffersTest, ResetKeepsTheBuffersAndTheRequestSocketButEndsTheSession) {
  void* data = buffer();
  handle_->sessionKey = 41000;
  handle_->beginDelimiter = 'A';
  handle_->endDelimiter = 'N';
  handle_->serverStamp = 123;
  handle_->replyLength = 3;
  handle_->replyData = handle_->replyArea;
  int status = -1;
  ASSERT_EQ(dp_ResetHandle(handle_, &status), 1);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(handle_->sessionKey, 0);
  EXPECT_EQ(handle_->sessionSocket, 0);
  EXPECT_EQ(handle_->replyLength, 0);
  EXPECT_EQ(handle_->replyData, nullptr);
  EXPECT_EQ(handle_->beginDelimiter, ' ');
  EXPECT_EQ(handle_->endDelimiter, ' ');
  EXPECT_EQ(handle_->serverStamp, 123);
  EXPECT_EQ(ZEVP_ValidateAPIbuffer(BlockOf(data)), 1);
}

TEST_F(HandlesAndBuffersTest, HandlesChainToTheAnchorUntilFreed) {
  APIhandle* second = dp_AllocateHandle(nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(DPAA->handles, handle_);
  EXPECT_EQ(handle_->next, second);
  void* data = nullptr;
  ASSERT_EQ(dp_AllocateBuffer(second, &data, 0, nullptr), 1);
  APIbuffer* block = BlockOf(data);
  EXPECT_EQ(ZEVP_ValidateAPIhandle(second), 1);
  EXPECT_EQ(ZEVP_ValidateAPIbuffer(block), 1);

  ASSERT_EQ(dp_FreeHandle(second, nullptr), 1);
  EXPECT_EQ(handle_->next, nullptr);
  EXPECT_EQ(ZEVP_ValidateAPIhandle(second), 0);
  EXPECT_EQ(ZEVP_ValidateAPIbuffer(block), 0);
}

// Every call refuses a null or foreign handle or buffer with its own status and leaves
// the handle and its buffers as they were.
TEST_F(HandlesAndBuffersTest, NullAndForeignHandlesAndBuffersAreRefused) {
  void* kept = buffer();
  ASSERT_EQ(dp_FormatBufferData(kept, "kept", 4, ZEVP_API_TEXT, nullptr), 1);
  void* freed = buffer();
  ASSERT_EQ(dp_FreeBuffer(freed, nullptr), 1);
  APIhandle foreignHandle{};
  alignas(APIbuffer) char foreignBytes[1024] = {};
  void* foreign = foreignBytes + 512;
  int dataSize = 0;

  const struct {
    const char* call;
    int (*run)(APIhandle* handle, void* foreign, void* freed, int* dataSize, int* status);
    int status;
  } cases[] = {
      {"dp_FreeHandle null", [](APIhandle*, void*, void*, int*, int* s) { return dp_FreeHandle(nullptr, s); }, 1},
      {"dp_FreeHandle foreign", [](APIhandle* h, void*, void*, int*, int* s) { return dp_FreeHandle(h, s); }, 1},
      {"dp_ResetHandle foreign", [](APIhandle* h, void*, void*, int*, int* s) { return dp_ResetHandle(h, s); }, 1},
      {"dp_AllocateBuffer no result pointer",
       [](APIhandle* h, void*, void*, int*, int* s) { return dp_AllocateBuffer(h, nullptr, 10, s); }, 43},
      {"dp_AllocateBuffer foreign handle",
       [](APIhandle* h, void*, void*, int*, int* s) {
         void* data = nullptr;
         return dp_AllocateBuffer(h, &data, 10, s);
       },
       1},
      {"dp_ClearBuffer null", [](APIhandle*, void*, void*, int*, int* s) { return dp_ClearBuffer(nullptr, s); }, 40},
      {"dp_ClearBuffer foreign", [](APIhandle*, void* f, void*, int*, int* s) { return dp_ClearBuffer(f, s); }, 42},
      {"dp_FreeBuffer null", [](APIhandle*, void*, void*, int*, int* s) { return dp_FreeBuffer(nullptr, s); }, 40},
      {"dp_FreeBuffer foreign", [](APIhandle*, void* f, void*, int*, int* s) { return dp_FreeBuffer(f, s); }, 42},
      {"dp_FormatBufferData no data",
       [](APIhandle*, void*, void* b, int*, int* s) { return dp_FormatBufferData(b, nullptr, 3, 3, s); }, 45},
      {"dp_FormatBufferData size 0",
       [](APIhandle*, void*, void* b, int*, int* s) { return dp_FormatBufferData(b, "abc", 0, 3, s); }, 46},
      {"dp_FormatBufferData null buffer",
       [](APIhandle*, void*, void*, int*, int* s) { return dp_FormatBufferData(nullptr, "abc", 3, 3, s); }, 40},
      {"dp_FormatBufferData foreign buffer",
       [](APIhandle*, void* f, void*, int*, int* s) { return dp_FormatBufferData(f, "abc", 3, 3, s); }, 42},
      {"dp_FormatBufferData freed buffer",
       [](APIhandle*, void*, void* b, int*, int* s) { return dp_FormatBufferData(b, "abc", 3, 3, s); }, 42},
      {"dp_BeginInput no application",
       [](APIhandle*, void*, void*, int*, int* s) { return dp_BeginInput(nullptr, nullptr, "GRP", s); }, 50},
      {"dp_BeginInput no group",
       [](APIhandle*, void*, void*, int*, int* s) { return dp_BeginInput(nullptr, "APPL", "", s); }, 50},
      {"dp_BeginInput foreign handle",
       [](APIhandle* h, void*, void*, int*, int* s) { return dp_BeginInput(h, "APPL", "GRP", s); }, 1},
      {"dp_EndInput foreign handle", [](APIhandle* h, void*, void*, int*, int* s) { return dp_EndInput(h, s); }, 1},
      {"dp_BeginSample no handle", [](APIhandle*, void*, void*, int*, int* s) { return dp_BeginSample(nullptr, s); },
       3},
      {"dp_BeginSample foreign handle", [](APIhandle* h, void*, void*, int*, int* s) { return dp_BeginSample(h, s); },
       1},
      {"dp_EndSample no handle", [](APIhandle*, void*, void*, int*, int* s) { return dp_EndSample(nullptr, s); }, 3},
      {"dp_EndSample foreign handle", [](APIhandle* h, void*, void*, int*, int* s) { return dp_EndSample(h, s); }, 1},
      {"dp_InputData null", [](APIhandle*, void*, void*, int*, int* s) { return dp_InputData(nullptr, s); }, 73},
      {"dp_InputData foreign", [](APIhandle*, void* f, void*, int*, int* s) { return dp_InputData(f, s); }, 74},
      {"dp_SetSourceName no name",
       [](APIhandle*, void*, void*, int*, int* s) { return dp_SetSourceName(nullptr, nullptr, s); }, 38},
      {"dp_SetSourceName foreign handle",
       [](APIhandle* h, void*, void*, int*, int* s) { return dp_SetSourceName(h, "SRC", s); }, 1},
      {"dp_RecvReply null", [](APIhandle*, void*, void*, int* d, int* s) { return dp_RecvReply(nullptr, d, s); }, 3},
      {"dp_RecvReply foreign", [](APIhandle*, void* f, void*, int* d, int* s) { return dp_RecvReply(f, d, s); }, 42},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    int status = -1;
    EXPECT_EQ(c.run(&foreignHandle, foreign, freed, &dataSize, &status), 0);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(c.run(&foreignHandle, foreign, freed, &dataSize, nullptr), 0) << "without a status pointer";
  }
  EXPECT_EQ(DataOf(kept), "kept ");
  EXPECT_EQ(BlockOf(kept)->inUse, 1);
  EXPECT_EQ(BlockOf(freed)->inUse, 0);
  EXPECT_EQ(handle_->sessionSocket, 0) << "nothing was sent";
  EXPECT_EQ(std::string(foreignBytes, sizeof foreignBytes), std::string(sizeof foreignBytes, '\0'));
  EXPECT_EQ(DPAA->handles, handle_);
  EXPECT_EQ(handle_->next, nullptr);
}

// A handle and a buffer block laid out as the library's but never chained to the anchor;
// the handle is the library's to free.
struct Stranger {
  Stranger() : handle(static_cast<APIhandle*>(std::calloc(1, sizeof(APIhandle)))) {
    handle->beginDelimiter = ' ';
    handle->endDelimiter = ' ';
    APIbuffer& block = laidOut.block;
    block.handle = handle;
    block.eyeCatcher = laidOut.body;
    block.tag = laidOut.body + 10;
    block.data = laidOut.body + 16;
    block.cursor = block.data;
    block.capacity = 100;
    block.used = 16;
    block.inUse = 1;
  }
  void* data() { return laidOut.block.data; }

  APIhandle* handle;
  struct {
    APIbuffer block;
    char body[116];
  } laidOut{};
};

// With the bypass, the calls that take a user's handle or buffer as it is skip looking
// it up; freeing a buffer, the buffer's own handle and a handle given to begin input or
// to name the source are looked up still.
TEST_F(HandlesAndBuffersTest, TheBypassSkipsTheListedLookUpsOnly) {
  Stranger stranger;
  void* data = stranger.data();
  ValidationBypassed bypass;
  int status = -1;

  EXPECT_EQ(dp_ClearBuffer(data, &status), 1);
  EXPECT_EQ(std::string(stranger.laidOut.block.tag, 6), "      ");
  EXPECT_EQ(dp_ResetHandle(stranger.handle, &status), 1);
  int dataSize = 0;
  EXPECT_EQ(dp_RecvReply(data, &dataSize, &status), 0);
  EXPECT_EQ(status, 80) << "looked at the stranger's handle for reply data";
  void* chained = nullptr;
  EXPECT_EQ(dp_AllocateBuffer(stranger.handle, &chained, 10, &status), 1);
  EXPECT_EQ(BlockOf(chained)->handle, stranger.handle);

  EXPECT_EQ(dp_FreeBuffer(data, &status), 0);
  EXPECT_EQ(status, 42);
  EXPECT_EQ(dp_FormatBufferData(data, "abc", 3, ZEVP_API_TEXT, &status), 0);
  EXPECT_EQ(status, 41);
  EXPECT_EQ(dp_BeginInput(stranger.handle, "APPL", "GRP", &status), 0);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(dp_SetSourceName(stranger.handle, "SRC", &status), 0);
  EXPECT_EQ(status, 1);

  EXPECT_EQ(dp_FreeHandle(stranger.handle, &status), 1) << "frees the handle and the buffer it was given";
}

}  // namespace
