#include "activity_request.h"

#include <cstring>

#include "http_trace.h"
#include "proxy_authorization.h"
#include "redirect_target.h"
#include "url_management.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace zevp {

namespace {

enum class Next { finish, requestAgain, follow };

constexpr int kMostRedirections = 5;
constexpr int kMostReconnects = 3;
// Shortest a redirection target must pass: "http://".
constexpr size_t kShortestTarget = 7;

std::string HeaderValue(const VMO1_HeaderDictionary* headers, int32_t i) {
  const VMO1_HeaderInfo& info = headers->hdiinfo[i];
  return std::string(headers->hdiStrCeiling - info.hinStrOffset, static_cast<size_t>(info.hinStrLen));
}

void TraceStatus(const char* what, const URLactivityTaskBlock* block, int32_t status) {
  VMO1_StatusDescription description;
  if (VMO1_QueryStatus(VMO1_STATUS_DESCRIPTION_SIZE, &description, status) == 0)
    HTTP_TRC(TRC_DETAIL, "***** <%s> %s status: %.*s (HTTP %d)", block->URL, what, description.textLength,
             description.text, description.httpCode);
  else
    HTTP_TRC(TRC_DETAIL, "***** <%s> %s status: %X", block->URL, what, static_cast<unsigned>(status));
}

void DeleteActivity(URLactivityTaskBlock* block) {
  VMO1_DeleteActivity(block->Activity);
  block->Activity = nullptr;
}

// A status line's version sets HTTP11; a 1.0 that is only learned from a page
// does not raise it back.
void LearnVersion(URLrequestEntry* entry, const std::string& statusLine, bool raise) {
  BSV1_GetLock(&entry->EntryLock);
  if (statusLine.find("1.0") != std::string::npos)
    entry->HTTP11 = 0;
  else if (raise && statusLine.find("1.1") != std::string::npos)
    entry->HTTP11 = 1;
  BSV1_ReleaseLock(&entry->EntryLock);
}

void NewActivity(SubtaskRequest& request, int32_t headerCount, const VMO1_ExtraHeader* headers) {
  URLactivityTaskBlock* block = request.block;
  block->Status = VMO1_NewActivity(block->Client, &block->Activity, block->URL,
                                   static_cast<int32_t>(std::strlen(block->URL)), 0, headerCount, headers);
}

// A new activity could not be made: after a lost connection the client is made
// again (at most three times in a row), and the request in hand ends.
void NewActivityFailed(SubtaskRequest& request) {
  URLactivityTaskBlock* block = request.block;
  if (!block->Abandoned) TraceStatus("New activity", block, block->Status);
  if (block->Status != VMO1_CONNECTION_ABANDONED) return;
  if (++*request.reconnects <= kMostReconnects && block->State != ZEVP_SUBTASK_END_REQUESTED) {
    HTTP_TRC(TRC_DETAIL, "Attempting to re-establish the VMO client. Retry=%d", *request.reconnects);
    block->ProtocolVersion = VMO1_HTTP11;
    ZEVP_DoHTTPconnect(&block->Client, block->ProtocolVersion);
    return;
  }
  HTTP_TRC(TRC_ERROR, "***** VMO reconnect unsuccessful");
  block->GaveUp = 1;
}

// The page or object of a 2xx reply. The lent page buffer is used only while the
// request is not abandoned, under the entry lock: a requester that gave up takes
// its buffer back.
void ReadEntity(SubtaskRequest& request) {
  URLactivityTaskBlock* block = request.block;
  URLrequestEntry* entry = request.entry;
  block->Status = VMO1_OpenEntity(block->Activity, &block->ContentLength, &block->EntityInformation);
  if (block->Abandoned || block->Status != 0) {
    TraceStatus("Open entity", block, block->Status);
    return;
  }
  const int32_t length = block->ContentLength;
  BSV1_GetLock(&entry->EntryLock);
  if (!block->Abandoned) {
    if (block->RequestKind == ZEVP_URL_OBJECT_REQUEST) {
      entry->TotalObjectSize += length;
    } else if (entry->PageBuffer != nullptr) {
      entry->PageLength = length;
      if (length > entry->PageBufferSize) {
        char* larger = static_cast<char*>(ZEV0_GetStorage(length + 4));
        if (larger != nullptr) {
          ZEV0_FreeStorage(&entry->PageBuffer);
          entry->PageBuffer = larger;
          entry->PageBufferSize = length;
        }
      }
      std::memset(entry->PageBuffer, 0, static_cast<size_t>(entry->PageBufferSize) + 4);
      int32_t read = std::min(length, entry->PageBufferSize);
      VMO1_Get(block->Activity, entry->PageBuffer, &read);
    }
    if (entry->ServerTypeLength == 0) {
      const VMO1_HeaderDictionary* headers = block->Headers;
      for (int32_t i = 0; headers != nullptr && i < headers->hdiCount; ++i) {
        std::string value = HeaderValue(headers, i);
        if (headers->hdiinfo[i].hinCode == VMO1_HEADER_SERVER) {
          value = value.substr(0, std::min(value.find(' '), static_cast<size_t>(ZEVP_URL_SERVER_TYPE_MAX)));
          std::memset(entry->ServerType, 0, sizeof entry->ServerType);
          std::memcpy(entry->ServerType, value.data(), value.size());
          entry->ServerTypeLength = static_cast<int32_t>(value.size());
        } else if (headers->hdiinfo[i].hinCode == VMO1_HEADER_STATUS_LINE) {
          LearnVersion(entry, value, false);
        }
      }
    }
    if (block->OutputContent) {
      request.content.assign(static_cast<size_t>(length) + 4, '\0');
      int32_t read = length;
      request.contentRead = VMO1_Get(block->Activity, request.content.data(), &read) == 0;
      request.content.resize(static_cast<size_t>(read));
    }
  }
  if (request.retriedHTTP10) {
    entry->HTTP11 = 0;
    HTTP_TRC(TRC_DETAIL, "Successfully completed a retry attempt with HTTP 1.0 for URL <%s>", block->URL);
  }
  BSV1_ReleaseLock(&entry->EntryLock);
}

// A proxy's Basic challenge is answered once, with the proxy's user and password;
// a web server's own challenge never is.
Next AnswerChallenge(SubtaskRequest& request) {
  URLactivityTaskBlock* block = request.block;
  TraceStatus("Request activity", block, block->Status);
  if (request.umb->ProxyUser == nullptr || request.umb->ProxyPassword == nullptr) {
    HTTP_TRC(TRC_ERROR, "Unable to obtain status for URL <%s>. Proxy server Userid and Password must be supplied.",
             block->URL);
    return Next::finish;
  }
  if (request.authorizationSent) {
    HTTP_TRC(TRC_ERROR, "Authentication attempt failed. Unable to obtain status for URL <%s>", block->URL);
    return Next::finish;
  }
  std::string answer;
  const VMO1_HeaderDictionary* headers = block->Headers;
  for (int32_t i = 0; headers != nullptr && i < headers->hdiCount; ++i) {
    const int32_t code = headers->hdiinfo[i].hinCode;
    const std::string value = HeaderValue(headers, i);
    if (code == VMO1_HEADER_STATUS_LINE) {
      LearnVersion(request.entry, value, true);
    } else if (code == VMO1_HEADER_PROXY_AUTHENTICATE && value.rfind("Basic realm", 0) == 0) {
      if (!BasicProxyAuthorization(request.umb->ProxyUser, request.umb->ProxyPassword, &answer))
        HTTP_TRC(TRC_ERROR, "***** Proxy credentials for URL <%s> longer than Basic authentication takes",
                 block->URL);
    } else if (code == VMO1_HEADER_WWW_AUTHENTICATE && value.rfind("Basic realm", 0) == 0) {
      HTTP_TRC(TRC_ERROR, "Web server challenge <%s> for URL <%s> not answered with the proxy's credentials",
               value.c_str(), block->URL);
    } else if ((code == VMO1_HEADER_PROXY_AUTHENTICATE || code == VMO1_HEADER_WWW_AUTHENTICATE) &&
               value.rfind("Digest realm", 0) == 0) {
      HTTP_TRC(TRC_DETAIL, "Digest authentication <%s> for URL <%s> not supported", value.c_str(), block->URL);
    }
  }
  if (answer.empty()) return Next::finish;
  DeleteActivity(block);
  request.authorizationSent = true;
  const VMO1_ExtraHeader authorization{VMO1_HEADER_AUTHORIZATION, static_cast<int32_t>(answer.size()),
                                       answer.c_str()};
  NewActivity(request, 1, &authorization);
  if (block->Status == 0) return Next::requestAgain;
  HTTP_TRC(TRC_ERROR, "VMO1_NewActivity authentication call failed, rc: %d", block->Status);
  return Next::finish;
}

Next FollowRedirection(SubtaskRequest& request) {
  URLactivityTaskBlock* block = request.block;
  TraceStatus("Request activity", block, block->Status);
  std::string target;
  bool tooLong = false;
  const VMO1_HeaderDictionary* headers = block->Headers;
  for (int32_t i = 0; headers != nullptr && i < headers->hdiCount; ++i) {
    const int32_t code = headers->hdiinfo[i].hinCode;
    const std::string value = HeaderValue(headers, i);
    if (code == VMO1_HEADER_STATUS_LINE) {
      LearnVersion(request.entry, value, true);
    } else if (code == VMO1_HEADER_LOCATION) {
      std::string next;
      if (RedirectTarget(target.empty() ? std::string(block->URL) : target, value, &next)) {
        target = next;
      } else {
        tooLong = true;
        HTTP_TRC(TRC_ERROR, "***** RedirectURL <%s>  <%s> is too long, unable to obtain URL status", block->URL,
                 value.substr(0, ZEVP_URL_REQUEST_MAX).c_str());
      }
    }
  }
  if (!tooLong && target.size() <= kShortestTarget) {
    HTTP_TRC(TRC_ERROR, "Redirect invalid URL <%s>", target.c_str());
    block->Status = VMO1_INVALID_URI;
    return Next::finish;
  }
  if (++request.redirections > kMostRedirections || tooLong) {
    block->Status = VMO1_TOO_MANY_REDIRECTIONS;
    return Next::finish;
  }
  DeleteActivity(block);
  BSV1_GetLock(&block->BlockLock);
  std::memcpy(block->URL, target.c_str(), target.size() + 1);
  BSV1_ReleaseLock(&block->BlockLock);
  request.redirected = true;
  return Next::follow;
}

// A lost connection is retried once with HTTP 1.0; when that is lost too, the URL
// goes back to HTTP 1.1 and is never retried so again.
Next RetryWithHTTP10(SubtaskRequest& request) {
  URLactivityTaskBlock* block = request.block;
  URLrequestEntry* entry = request.entry;
  if (!ZEVP_FindURE(entry)) {
    block->Abandoned = 1;
    HTTP_TRC(TRC_DETAIL, "URL <%s> no longer in list of monitored URLs, aborting object retrieval request",
             block->URL);
    return Next::finish;
  }
  BSV1_GetLock(&entry->EntryLock);
  const int32_t noRetry = entry->NoHTTP10retry;
  BSV1_ReleaseLock(&entry->EntryLock);
  if (!request.retriedHTTP10 && block->ProtocolVersion == VMO1_HTTP11 && noRetry == 0) {
    HTTP_TRC(TRC_DETAIL, "Retrying with HTTP 1.0 protocol for URL <%s> URE @%p", block->URL,
             static_cast<void*>(entry));
    request.retriedHTTP10 = true;
    BSV1_GetLock(&block->BlockLock);
    block->ProtocolVersion = VMO1_HTTP10;
    ZEVP_DoHTTPconnect(&block->Client, block->ProtocolVersion);
    BSV1_ReleaseLock(&block->BlockLock);
    BSV1_GetLock(&entry->EntryLock);
    entry->HTTP11 = 0;
    BSV1_ReleaseLock(&entry->EntryLock);
    DeleteActivity(block);
    NewActivity(request, 0, nullptr);
    if (block->Abandoned || block->Status != 0) {
      NewActivityFailed(request);
      return Next::finish;
    }
    return Next::requestAgain;
  }
  if (request.retriedHTTP10 && block->ProtocolVersion == VMO1_HTTP10) {
    HTTP_TRC(TRC_DETAIL, "Not attempting another retry with HTTP 1.0 protocol for URL <%s> URE @%p", block->URL,
             static_cast<void*>(entry));
    BSV1_GetLock(&entry->EntryLock);
    entry->HTTP11 = 1;
    entry->NoHTTP10retry = 1;
    BSV1_ReleaseLock(&entry->EntryLock);
    block->ProtocolVersion = VMO1_HTTP11;
    ZEVP_DoHTTPconnect(&block->Client, block->ProtocolVersion);
  }
  return Next::finish;
}

Next ByStatus(SubtaskRequest& request) {
  URLactivityTaskBlock* block = request.block;
  switch (block->Status) {
    case VMO1_AUTHENTICATION_REQUIRED:
      return AnswerChallenge(request);
    case VMO1_MOVED_PERMANENTLY:
    case VMO1_MOVED_TEMPORARILY:
      return FollowRedirection(request);
    case VMO1_HTTP_ERROR_REPLY:
      TraceStatus("Request activity", block, block->Status);
      for (int32_t i = 0; block->Headers != nullptr && i < block->Headers->hdiCount; ++i)
        if (block->Headers->hdiinfo[i].hinCode == VMO1_HEADER_STATUS_LINE)
          LearnVersion(request.entry, HeaderValue(block->Headers, i), true);
      return Next::finish;
    case VMO1_CONNECTION_ABANDONED:
      return RetryWithHTTP10(request);
    default:
      if (block->Abandoned)
        HTTP_TRC(TRC_DETAIL, "Request activity request was aborted for URL <%s>", block->URL);
      else
        TraceStatus("Request activity", block, block->Status);
      return Next::finish;
  }
}

// From a made activity: the request, again after a challenge was answered; its
// reply read, or the step its status leads to.
Next Request(SubtaskRequest& request) {
  URLactivityTaskBlock* block = request.block;
  for (;;) {
    *request.reconnects = 0;
    block->Status = VMO1_RequestActivity(block->Activity, &block->Headers);
    if (!block->Abandoned && block->Status == 0) {
      ReadEntity(request);
      return Next::finish;
    }
    Next next = ByStatus(request);
    if (next != Next::requestAgain) return next;
  }
}

}  // namespace

void PerformRequest(SubtaskRequest& request) {
  URLactivityTaskBlock* block = request.block;
  for (Next next = Next::follow; next == Next::follow;) {
    std::string trimmed = TrimFragmentMarks(block->URL);
    BSV1_GetLock(&block->BlockLock);
    std::memcpy(block->URL, trimmed.c_str(), trimmed.size() + 1);
    BSV1_ReleaseLock(&block->BlockLock);
    NewActivity(request, 0, nullptr);
    if (block->Abandoned || block->Status != 0) {
      NewActivityFailed(request);
      break;
    }
    next = Request(request);
  }
  DeleteActivity(block);
}

}  // namespace zevp
