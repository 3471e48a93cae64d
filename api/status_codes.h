// The client's own status codes (indexes of API_Message); the data provider's come in
// its replies.
#pragma once

namespace zevpapi {

enum StatusCode : int {
  kSuccess = 0,
  kInvalidHandle = 1,
  kMissingParameter = 3,
  kRpcTransport = 5,
  kNoAnchorStorage = 6,
  kHostNotResolvable = 8,
  kTimedOut = 11,
  kNoHandleStorage = 12,
  kNoSourceName = 38,
  kNullBuffer = 40,
  kBufferHandleInvalid = 41,
  kNotLibraryBuffer = 42,
  kNoResultPointer = 43,
  kNoBufferStorage = 44,
  kNoData = 45,
  kBadDataSize = 46,
  kNoRoom = 47,
  kNamesMissing = 50,
  kShortSend = 72,
  kNullInputBuffer = 73,
  kInvalidInputBuffer = 74,
  kBindFailed = 75,
  kNoReplyData = 80,
  kReceiveFailed = 94,
};

}  // namespace zevpapi
