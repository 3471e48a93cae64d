// What the library keeps between its calls: each thread's last reply code, and
// the records behind the client and activity handles.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "header_dictionary.h"
#include "vmo1.h"

struct VMO1_ClientRecord {
  int32_t version;
  VMO1_Options options;
};

struct VMO1_ActivityRecord {
  VMO1_ClientRecord client;  // the client as it was when the activity was made
  std::string url;
  std::string proxyAuthorization;  // from an extra header 23; empty: none
  vmo1::HeaderDictionary headers;
  std::string entity;
  bool replied = false;  // a 2xx reply's entity is kept
};

namespace vmo1 {

// The code of the calling thread's last reply (0 before one).
int LastReplyCode();
void RecordReplyCode(int code);

// The client a null handle stands for.
const VMO1_ClientRecord& DefaultClient();

// Sends the activity's request and reads its reply: its status.
int32_t Exchange(VMO1_ActivityRecord* activity);

}  // namespace vmo1
