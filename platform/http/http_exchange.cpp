// One exchange on libcurl: the request as the activity's client asks for it, the
// whole reply read into the activity (its headers into the dictionary, its entity
// up to the limit), and the outcome as a status.
#include <arpa/inet.h>
#include <sys/socket.h>

#include <cstdlib>
#include <string>

#include "curl_functions.h"
#include "reply_record.h"
#include "trc1.h"
#include "zev0/hostnames.h"

TRC_UNIT();

namespace vmo1 {

namespace {

struct Target {
  std::string scheme;
  std::string host;
  long port = 0;
};

std::string UrlPart(const CurlFunctions& curl, CURLU* url, CURLUPart part, unsigned flags = 0) {
  char* text = nullptr;
  if (curl.urlGet(url, part, &text, flags) != CURLUE_OK || text == nullptr) return "";
  std::string value = text;
  curl.free(text);
  return value;
}

int32_t ParseTarget(const CurlFunctions& curl, const std::string& text, Target* target) {
  CURLU* url = curl.url();
  if (url == nullptr) return VMO1_INVALID_ARGUMENT;
  int32_t status = VMO1_OK;
  if (curl.urlSet(url, CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
    status = VMO1_INVALID_URI;
  } else {
    target->scheme = UrlPart(curl, url, CURLUPART_SCHEME);
    target->host = UrlPart(curl, url, CURLUPART_HOST);
    target->port = std::strtol(UrlPart(curl, url, CURLUPART_PORT, CURLU_DEFAULT_PORT).c_str(), nullptr, 10);
    if (target->scheme != "http" && target->scheme != "https")
      status = VMO1_SCHEME_NOT_SUPPORTED;
    else if (target->host.empty())
      status = VMO1_INVALID_URI;
  }
  curl.urlCleanup(url);
  return status;
}

// A proxy from the environment decides where the request goes and looks its
// host up itself.
bool ProxyConfigured() {
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

bool IsAddressLiteral(const std::string& host) {
  in_addr address;
  return host.front() == '[' || inet_pton(AF_INET, host.c_str(), &address) == 1;
}

// Without a proxy the host is looked up through the process's name service and
// pinned for libcurl; false when it has no address.
bool PinHost(const CurlFunctions& curl, const Target& target, curl_slist** resolve) {
  if (ProxyConfigured() || IsAddressLiteral(target.host)) return true;
  sockaddr_in address;
  if (ZEV0_ConvertNameToAddr(target.host.c_str(), static_cast<uint16_t>(target.port), &address) == 0) return false;
  char dotted[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &address.sin_addr, dotted, sizeof dotted);
  std::string entry = target.host + ":" + std::to_string(target.port) + ":" + dotted;
  *resolve = curl.slistAppend(*resolve, entry.c_str());
  return *resolve != nullptr;
}

struct Reception {
  VMO1_ActivityRecord* activity;
  bool tooLarge = false;
};

size_t OnHeader(char* data, size_t size, size_t count, void* context) {
  static_cast<Reception*>(context)->activity->headers.addLine(data, size * count);
  return size * count;
}

size_t OnEntity(char* data, size_t size, size_t count, void* context) {
  auto* reception = static_cast<Reception*>(context);
  size_t bytes = size * count;
  if (reception->activity->entity.size() + bytes > VMO1_ENTITY_LIMIT) {
    reception->tooLarge = true;
    return 0;
  }
  reception->activity->entity.append(data, bytes);
  return bytes;
}

// The scheme was looked at before: a protocol libcurl will not speak now is the
// reply's (an HTTP/0.9 answer, a garbage status line).
int32_t StatusOfFailure(CURLcode result, const Reception& reception) {
  switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return VMO1_UNKNOWN_AUTHORITY;
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      return VMO1_CONNECTION_ABANDONED;
    case CURLE_URL_MALFORMAT:
      return VMO1_INVALID_URI;
    case CURLE_FILESIZE_EXCEEDED:
      return VMO1_ENTITY_TOO_LARGE;
    case CURLE_WRITE_ERROR:
      return reception.tooLarge ? VMO1_ENTITY_TOO_LARGE : VMO1_REPLY_NOT_UNDERSTOOD;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
      return VMO1_SECURE_CONNECTION_FAILED;
    default:
      return VMO1_REPLY_NOT_UNDERSTOOD;
  }
}

bool HasLocation(VMO1_HeaderDictionary* headers) {
  for (int32_t i = 0; i < headers->hdiCount; ++i)
    if (headers->hdiinfo[i].hinCode == VMO1_HEADER_LOCATION) return true;
  return false;
}

int32_t StatusOfReply(long code, VMO1_ActivityRecord* activity) {
  if (code >= 200 && code < 300) return VMO1_OK;
  if (code == 401 || code == 407) return VMO1_AUTHENTICATION_REQUIRED;
  if (HasLocation(activity->headers.view())) {
    if (code == 301 || code == 308) return VMO1_MOVED_PERMANENTLY;
    if (code == 302 || code == 303 || code == 307) return VMO1_MOVED_TEMPORARILY;
  }
  return VMO1_HTTP_ERROR_REPLY;
}

// The connection's socket, closed on exec as every descriptor of the system.
curl_socket_t OpenSocketClosedOnExec(void*, curlsocktype, curl_sockaddr* address) {
  return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

void SetRequest(const CurlFunctions& curl, CURL* handle, VMO1_ActivityRecord* activity, Reception* reception,
                curl_slist* resolve, curl_slist* proxyHeaders, char* errorText) {
  const VMO1_ClientRecord& client = activity->client;
  curl.easySetopt(handle, CURLOPT_URL, activity->url.c_str());
  curl.easySetopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl.easySetopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl.easySetopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
  curl.easySetopt(handle, CURLOPT_HTTP_VERSION,
                  client.version == VMO1_HTTP10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
  curl.easySetopt(handle, CURLOPT_USERAGENT, client.options.userAgent);
  if (client.options.timeLimit > 0) {
    curl.easySetopt(handle, CURLOPT_TIMEOUT, static_cast<long>(client.options.timeLimit));
    curl.easySetopt(handle, CURLOPT_CONNECTTIMEOUT, static_cast<long>(client.options.timeLimit));
  }
  curl.easySetopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(VMO1_ENTITY_LIMIT));
  curl.easySetopt(handle, CURLOPT_HEADERFUNCTION, OnHeader);
  curl.easySetopt(handle, CURLOPT_HEADERDATA, reception);
  curl.easySetopt(handle, CURLOPT_WRITEFUNCTION, OnEntity);
  curl.easySetopt(handle, CURLOPT_WRITEDATA, reception);
  curl.easySetopt(handle, CURLOPT_ERRORBUFFER, errorText);
  curl.easySetopt(handle, CURLOPT_OPENSOCKETFUNCTION, OpenSocketClosedOnExec);
  if (resolve != nullptr) curl.easySetopt(handle, CURLOPT_RESOLVE, resolve);
  // The authorization goes to a proxy only, never to the server.
  curl.easySetopt(handle, CURLOPT_HEADEROPT, static_cast<long>(CURLHEADER_SEPARATE));
  if (proxyHeaders != nullptr) curl.easySetopt(handle, CURLOPT_PROXYHEADER, proxyHeaders);
}

int32_t Perform(const CurlFunctions& curl, VMO1_ActivityRecord* activity, curl_slist* resolve) {
  CURL* handle = curl.easyInit();
  if (handle == nullptr) return VMO1_INVALID_ARGUMENT;
  curl_slist* proxyHeaders = nullptr;
  if (!activity->proxyAuthorization.empty())
    proxyHeaders = curl.slistAppend(nullptr, ("Proxy-Authorization: " + activity->proxyAuthorization).c_str());
  Reception reception{activity};
  char errorText[CURL_ERROR_SIZE] = {};
  SetRequest(curl, handle, activity, &reception, resolve, proxyHeaders, errorText);
  CURLcode result = curl.easyPerform(handle);
  long code = 0;
  long connectCode = 0;
  curl.easyGetinfo(handle, CURLINFO_RESPONSE_CODE, &code);
  curl.easyGetinfo(handle, CURLINFO_HTTP_CONNECTCODE, &connectCode);
  curl.easyCleanup(handle);
  curl.slistFreeAll(proxyHeaders);

  int32_t status;
  if (result == CURLE_OK) {
    RecordReplyCode(static_cast<int>(code));
    status = StatusOfReply(code, activity);
  } else if (connectCode == 407) {
    RecordReplyCode(static_cast<int>(connectCode));
    status = VMO1_AUTHENTICATION_REQUIRED;
  } else {
    status = StatusOfFailure(result, reception);
    TRC(TRC_DETAIL, "Request for <%s> failed: %d %s", activity->url.c_str(), static_cast<int>(result),
        errorText[0] != '\0' ? errorText : curl.easyStrerror(result));
  }
  return status;
}

}  // namespace

int32_t Exchange(VMO1_ActivityRecord* activity) {
  RecordReplyCode(0);
  activity->headers.clear();
  activity->entity.clear();
  activity->replied = false;
  const CurlFunctions* curl = Curl();
  if (curl == nullptr) return VMO1_TRANSPORT_UNAVAILABLE;
  Target target;
  int32_t status = ParseTarget(*curl, activity->url, &target);
  if (status != VMO1_OK) return status;
  curl_slist* resolve = nullptr;
  if (!PinHost(*curl, target, &resolve)) {
    curl->slistFreeAll(resolve);
    return VMO1_UNKNOWN_AUTHORITY;
  }
  status = Perform(*curl, activity, resolve);
  curl->slistFreeAll(resolve);
  activity->replied = status == VMO1_OK;
  if (!activity->replied) activity->entity.clear();
  return status;
}

}  // namespace vmo1
