// The descriptions of the statuses; for those of an HTTP reply, the calling
// thread's last reply gives the code, and the code its standard reason phrase.
#include <cstring>

#include "reply_record.h"
#include "vmo1.h"

namespace {

struct Described {
  int32_t status;
  const char* text;
  bool httpReply;
};

constexpr Described kStatuses[] = {
    {VMO1_OK, "OK", false},
    {VMO1_MOVED_TEMPORARILY, "requested resource moved temporarily", true},
    {VMO1_MOVED_PERMANENTLY, "requested resource moved permanently", true},
    {VMO1_INVALID_URI, "URI is not valid", false},
    {VMO1_UNKNOWN_AUTHORITY, "URI authority is not a recognized network address", false},
    {VMO1_AUTHENTICATION_REQUIRED, "authentication required", true},
    {VMO1_TOO_MANY_REDIRECTIONS, "too many redirections", false},
    {VMO1_HTTP_ERROR_REPLY, "HTTP error reply", true},
    {VMO1_CONNECTION_ABANDONED, "client connection has been lost", false},
    {VMO1_SCHEME_NOT_SUPPORTED, "URI scheme is not supported", false},
    {VMO1_ENTITY_TOO_LARGE, "entity larger than the library takes", false},
    {VMO1_REPLY_NOT_UNDERSTOOD, "server reply not understood", false},
    {VMO1_SECURE_CONNECTION_FAILED, "secure connection could not be made", false},
    {VMO1_INVALID_ARGUMENT, "invalid argument", false},
    {VMO1_NO_ENTITY, "no entity", false},
    {VMO1_TRANSPORT_UNAVAILABLE, "HTTP transport library could not be loaded", false},
};

struct Reason {
  int code;
  const char* phrase;
};

constexpr Reason kReasons[] = {
    {100, "Continue"},
    {101, "Switching Protocols"},
    {200, "OK"},
    {201, "Created"},
    {202, "Accepted"},
    {203, "Non-Authoritative Information"},
    {204, "No Content"},
    {205, "Reset Content"},
    {206, "Partial Content"},
    {300, "Multiple Choices"},
    {301, "Moved Permanently"},
    {302, "Found"},
    {303, "See Other"},
    {304, "Not Modified"},
    {305, "Use Proxy"},
    {307, "Temporary Redirect"},
    {308, "Permanent Redirect"},
    {400, "Bad Request"},
    {401, "Unauthorized"},
    {402, "Payment Required"},
    {403, "Forbidden"},
    {404, "Not Found"},
    {405, "Method Not Allowed"},
    {406, "Not Acceptable"},
    {407, "Proxy Authentication Required"},
    {408, "Request Timeout"},
    {409, "Conflict"},
    {410, "Gone"},
    {411, "Length Required"},
    {412, "Precondition Failed"},
    {413, "Content Too Large"},
    {414, "URI Too Long"},
    {415, "Unsupported Media Type"},
    {416, "Range Not Satisfiable"},
    {417, "Expectation Failed"},
    {421, "Misdirected Request"},
    {422, "Unprocessable Content"},
    {426, "Upgrade Required"},
    {429, "Too Many Requests"},
    {500, "Internal Server Error"},
    {501, "Not Implemented"},
    {502, "Bad Gateway"},
    {503, "Service Unavailable"},
    {504, "Gateway Timeout"},
    {505, "HTTP Version Not Supported"},
};

// A code without a phrase of its own is named by its class.
const char* ReasonPhrase(int code) {
  for (const Reason& reason : kReasons)
    if (reason.code == code) return reason.phrase;
  static const char* const kClasses[] = {"Unknown", "Informational", "Success", "Redirection", "Client Error",
                                         "Server Error"};
  return kClasses[code >= 100 && code < 600 ? code / 100 : 0];
}

}  // namespace

int32_t VMO1_QueryStatus(int32_t size, VMO1_StatusDescription* description, int32_t status) {
  if (size != VMO1_STATUS_DESCRIPTION_SIZE || description == nullptr) return VMO1_INVALID_ARGUMENT;
  std::memset(description, 0, sizeof *description);
  for (const Described& described : kStatuses) {
    if (described.status != status) continue;
    description->text = described.text;
    int code = described.httpReply ? vmo1::LastReplyCode() : 0;
    if (code > 0) {
      description->httpCode = code;
      description->text = ReasonPhrase(code);
    }
    description->textLength = static_cast<int32_t>(std::strlen(description->text));
    return VMO1_OK;
  }
  return VMO1_INVALID_ARGUMENT;
}
