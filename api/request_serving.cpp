// Request serving: a program accepts the requests that the API data provider hands
// down to it, fetches the outstanding one and returns its result.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "api_trace.h"
#include "exchange.h"
#include "format_value.h"
#include "handles.h"
#include "records.h"
#include "request_reply.h"
#include "status_codes.h"
#include "tagged_request.h"

namespace zevpapi {

namespace {

constexpr int kDefaultReplyWaitSeconds = 60;
constexpr unsigned kFetchPauseSeconds = 5;
constexpr int kLongestResult = 256;

int AcceptOn(APIhandle* handle, int enableReply, int replyWaitTime) {
  if (enableReply == 0) return TaggedRequest(handle, ZEVP_API_ACCREQ, {"0", "0"});
  if (replyWaitTime <= 0) {
    TraceStep("serving", "negative ReplyWaitTime. 60 seconds assumed.");
    replyWaitTime = kDefaultReplyWaitSeconds;
  }
  const std::string wait = std::to_string(replyWaitTime);
  return TaggedRequest(handle, ZEVP_API_ACCREQ, {"1", wait.c_str()});
}

int AcceptRequest(APIhandle* given, int enableReply, int replyWaitTime) {
  if (given != nullptr) {
    if (!HandlePassesCheck(given)) return kInvalidHandle;
    return AcceptOn(given, enableReply, replyWaitTime);
  }
  if (DPAA == nullptr || DPAA->handles == nullptr) return kInvalidHandle;
  int status = kSuccess;
  for (APIhandle* handle = DPAA->handles; handle != nullptr && status == kSuccess; handle = handle->next)
    status = AcceptOn(handle, enableReply, replyWaitTime);
  return status;
}

// The fetched request into the caller's buffer: its text and a terminator, cut to the
// buffer (83) with the terminator kept.
int DeliverRequest(const char* data, int size, char* userBuffer, int bufferSize, int* reqID, int* receivedSize) {
  RequestReplyReading reading = ReadRequestReply(data, size);
  if (!reading.valid) {
    TraceStep("serving", "request of %d bytes without a blank", size);
    return kReceiveFailed;
  }
  if (reqID != nullptr) *reqID = reading.id;
  std::memset(userBuffer, 0, static_cast<size_t>(bufferSize));
  const int textLength = std::min(reading.textLength, bufferSize - 1);
  std::memcpy(userBuffer, data + reading.textOffset, static_cast<size_t>(textLength));
  *receivedSize = std::min(reading.textLength + 1, bufferSize);
  return reading.textLength + 1 > bufferSize ? kRequestTruncated : kSuccess;
}

int ReceiveRequest(APIhandle* handle, int sync, char* userBuffer, int bufferSize, int* reqID, int* receivedSize) {
  if (handle != nullptr && !HandlePassesCheck(handle)) return kInvalidHandle;
  // The caller's places are written, so they are looked at even when validation is
  // bypassed.
  if (userBuffer == nullptr || receivedSize == nullptr) return kMissingParameter;
  if (bufferSize < 1) return kBadBufferSize;
  RequestBuffer buffer(handle, bufferSize);
  if (buffer.status() != kSuccess) return buffer.status();
  for (;;) {
    ZEVP_SetAPIbufferRequest(buffer.data(), ZEVP_API_RCVREQ);
    int status = ExchangeByTransport(BlockOfUserBuffer(buffer.data()), 0, 0);
    if (status != kSuccess) return status;
    int size = 0;
    status = TakeReplyData(buffer.data(), &size);
    if (status == kSuccess)
      return DeliverRequest(static_cast<const char*>(buffer.data()), size, userBuffer, bufferSize, reqID,
                            receivedSize);
    if (status != kNoReplyData) return status;
    if (sync == 0) {
      *receivedSize = 0;
      return kNothingOutstanding;
    }
    sleep(kFetchPauseSeconds);
  }
}

int SendRequestResult(APIhandle* handle, const int* reqID, const char* resultBuffer, int resultSize) {
  if (handle != nullptr && !HandlePassesCheck(handle)) return kInvalidHandle;
  if (reqID == nullptr || resultBuffer == nullptr || resultSize < 1) return kMissingParameter;
  const int sentSize = std::min(resultSize, kLongestResult);
  RequestBuffer buffer(handle, sentSize);
  if (buffer.status() != kSuccess) return buffer.status();
  ZEVP_SetAPIbufferRequest(buffer.data(), ZEVP_API_RESULT);
  int status = FormatValue(buffer.data(), reqID, sizeof *reqID, ZEVP_API_BINARY_INTEGER);
  if (status == kSuccess) status = FormatValue(buffer.data(), resultBuffer, sentSize, ZEVP_API_TEXT);
  if (status == kSuccess) status = ExchangeByTransport(BlockOfUserBuffer(buffer.data()), 0, 0);
  return status == kSuccess && resultSize > kLongestResult ? kResultTruncated : status;
}

}  // namespace

}  // namespace zevpapi

using zevpapi::CallScope;

extern "C" int dp_AcceptRequest(APIhandle* handle, int enableReply, int replyWaitTime, int* status) {
  CallScope call("dp_AcceptRequest", status);
  return call.finish(zevpapi::AcceptRequest(handle, enableReply, replyWaitTime));
}

extern "C" int dp_ReceiveRequest(APIhandle* handle, int sync, char* userBuffer, int bufferSize, int* reqID,
                                 int* receivedSize, int* status) {
  CallScope call("dp_ReceiveRequest", status);
  return call.finish(zevpapi::ReceiveRequest(handle, sync, userBuffer, bufferSize, reqID, receivedSize));
}

extern "C" int dp_SendRequestResult(APIhandle* handle, int* reqID, char* resultBuffer, int resultSize, int* status) {
  CallScope call("dp_SendRequestResult", status);
  return call.finish(zevpapi::SendRequestResult(handle, reqID, resultBuffer, resultSize));
}
