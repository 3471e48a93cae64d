// The library's records: the process's anchor, the handles and the buffer blocks.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "zevpapi/dp_api.h"

struct APIanchor {
  APIhandle* handles;
  int requestWait;  // seconds for a data request's reply
  int commandWait;  // seconds per wait factor for a control request's reply
  time_t created;
  sockaddr_in dpAddress;  // the API data provider
  char transport;         // 'I' sockets, 'R' RPC
  int verbose;
  std::FILE* trace;
};

namespace zevpapi {

constexpr int kReplyAreaSize = 512;
constexpr char kNoBeginDelimiter = ' ';
constexpr char kNoEndDelimiter = 'N';

}  // namespace zevpapi

struct APIhandle {
  APIhandle* next;
  APIbuffer* buffers;
  uint16_t sessionKey;  // the session socket's local port; 0 = none yet
  int sessionSocket;    // 0 = closed
  int requestSocket;    // 0 = not opened yet
  int32_t serverStamp;  // the data provider's start stamp of the last reply
  int connected;        // 1 after a TCP session was opened
  int replyLength;      // reply data not yet taken by dp_RecvReply
  int ioBusy;
  char* replyData;  // into replyArea, or null
  char replyArea[zevpapi::kReplyAreaSize];
  char beginDelimiter;
  char endDelimiter;
};

// A buffer block: this header, then the eye-catcher, the request tag and the data.
struct APIbuffer {
  APIbuffer* next;
  APIhandle* handle;
  char* eyeCatcher;
  char* tag;
  char* data;  // what the user holds
  char* cursor;
  int capacity;  // bytes from the data start to the block's end
  int used;      // bytes from the eye-catcher to the cursor
  int inUse;
};

namespace zevpapi {

constexpr char kEyeCatcher[] = "ZEVPAPI300";
constexpr int kEyeCatcherLength = 10;
constexpr int kTagLength = 6;
constexpr int kRequestHeaderLength = kEyeCatcherLength + kTagLength;
// What a block holds beyond the requested data size.
constexpr int kCapacityBeyondRequest = 509;
constexpr int kDefaultRequestSize = 2048;

// The block a user's data pointer belongs to, if it is one of the library's: the
// pointer is only compared, never followed, until a block with that data is found.
inline APIbuffer* BlockOfUserBuffer(void* userBuffer) {
  auto address = reinterpret_cast<uintptr_t>(userBuffer);
  return reinterpret_cast<APIbuffer*>(address - kRequestHeaderLength - sizeof(APIbuffer));
}

}  // namespace zevpapi
