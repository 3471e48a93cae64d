// The client's own status codes (indexes of API_Message); the data provider's come in
// its replies.
#pragma once

namespace zevpapi {

enum StatusCode : int {
  kSuccess = 0,
  kInvalidHandle = 1,
  kInvalidParameter = 2,
  kMissingParameter = 3,
  kUnknownTransport = 4,
  kRpcTransport = 5,
  kNoAnchorStorage = 6,
  kNoRequestStorage = 7,
  kHostNotResolvable = 8,
  kApiServerInactive = 10,
  kTimedOut = 11,
  kNoHandleStorage = 12,
  kSessionOpen = 24,
  kConnectFailed = 25,
  kAlreadyDefined = 30,
  kDefineNotFound = 31,
  kDefineSpecificationError = 32,
  kDefineKnownToAgent = 33,
  kRedefineNotDefined = 34,
  kRedefineNotFound = 35,
  kRedefineSpecificationError = 36,
  kRedefineKnownToAgent = 37,
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
  kBadBufferSize = 81,
  kNothingOutstanding = 82,
  kRequestTruncated = 83,
  kResultTruncated = 84,
  kReceiveFailed = 94,
};

}  // namespace zevpapi
