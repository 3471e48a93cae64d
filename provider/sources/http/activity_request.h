// One request of a URL activity subtask, from its URL to its status: the
// redirections it follows, the proxy's challenge it answers, the HTTP 1.0 retry,
// and the page or object it reads.
#pragma once

#include <string>

#include "url_activity.h"

namespace zevp {

struct SubtaskRequest {
  URLactivityTaskBlock* block = nullptr;
  URLmanagementBlock* umb = nullptr;
  URLrequestEntry* entry = nullptr;
  int* reconnects = nullptr;  // the subtask's reconnects in a row
  int redirections = 0;
  bool retriedHTTP10 = false;
  bool authorizationSent = false;
  bool redirected = false;
  bool contentRead = false;
  std::string content;  // an object's content that goes to a file
};

// Carries the request out; its status is left in the block, its activity deleted.
void PerformRequest(SubtaskRequest& request);

}  // namespace zevp
