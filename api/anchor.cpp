#include "anchor.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "api_trace.h"
#include "records.h"
#include "status_codes.h"

APIanchor* DPAA = nullptr;
int BypassInputValidation = 0;
char Common_SubText[80];
char NameString[256];

namespace {

constexpr int kDefaultWait = 30;
constexpr int kDefaultPort = 7600;

// A variable's decimal value when that is 1 to `highest`, else `fallback`.
int SettingOr(const char* variable, int fallback, int highest) {
  const char* value = std::getenv(variable);
  if (value == nullptr) return fallback;
  long number = std::strtol(value, nullptr, 10);
  return number >= 1 && number <= highest ? static_cast<int>(number) : fallback;
}

char FirstLetterOf(const char* variable) {
  const char* value = std::getenv(variable);
  return value == nullptr ? '\0' : static_cast<char>(std::toupper(static_cast<unsigned char>(value[0])));
}

// ZEVP_API_VERBOSE: 'Y' or 'N' first switches the trace on or off; a file named after
// '>' (or '=') takes it, else standard output does.
void TakeVerboseSetting(APIanchor* anchor) {
  const char* value = std::getenv("ZEVP_API_VERBOSE");
  if (value == nullptr) return;
  char first = FirstLetterOf("ZEVP_API_VERBOSE");
  if (first == 'Y') anchor->verbose = 1;
  if (first == 'N') anchor->verbose = 0;
  const char* mark = std::strchr(value, '>');
  if (mark == nullptr) mark = std::strchr(value, '=');
  if (mark == nullptr) {
    anchor->trace = stdout;
  } else {
    const char* name = mark + 1;
    while (*name == ' ' || *name == '>' || *name == '=') ++name;
    std::string path = std::strchr(name, '/') != nullptr ? std::string(name) : "./" + std::string(name);
    anchor->trace = std::fopen(path.c_str(), "we");
  }
  if (anchor->verbose != 0 && anchor->trace != nullptr)
    std::fprintf(anchor->trace, "\n%08X ***** ZEVP API Verbose Output *****\n",
                 static_cast<unsigned>(std::time(nullptr)));
}

void ReleaseAnchor(APIanchor* anchor) {
  if (anchor->trace != nullptr && anchor->trace != stdout) std::fclose(anchor->trace);
  std::free(anchor);
}

int BuildAnchor() {
  Common_SubText[0] = '\0';
  auto* anchor = static_cast<APIanchor*>(std::calloc(1, sizeof(APIanchor)));
  if (anchor == nullptr) return zevpapi::kNoAnchorStorage;
  TakeVerboseSetting(anchor);
  anchor->transport = 'I';
  if (FirstLetterOf("ZEVP_API_BYPASS_VAL") == 'Y') BypassInputValidation = 1;
  char transport = FirstLetterOf("ZEVP_API_TRANSPORT");
  if (transport == 'I' || transport == 'R') anchor->transport = transport;
  anchor->requestWait = SettingOr("ZEVP_API_REQUEST_WAIT", kDefaultWait, INT_MAX);
  anchor->commandWait = SettingOr("ZEVP_CONSOLE_COMMAND_WAIT", kDefaultWait, INT_MAX);
  int status = zevpapi::kSuccess;
  if (anchor->transport == 'I') {
    ZEVP_APIU_InitWinSock();
    status = ZEVP_GetAPIdpAddr(reinterpret_cast<sockaddr*>(&anchor->dpAddress));
  }
  if (status != zevpapi::kSuccess) {
    ReleaseAnchor(anchor);
    return status;
  }
  anchor->created = std::time(nullptr);
  DPAA = anchor;
  return zevpapi::kSuccess;
}

}  // namespace

namespace zevpapi {

int EnsureAnchor() { return DPAA != nullptr ? kSuccess : BuildAnchor(); }

}  // namespace zevpapi

extern "C" int ZEVP_InitializeAPIanchor(int* status) {
  int result = zevpapi::EnsureAnchor();
  if (status != nullptr) *status = result;
  return result == zevpapi::kSuccess ? 1 : 0;
}

extern "C" int ZEVP_APIU_InitWinSock(void) { return 0; }

extern "C" int ZEVP_GetAPIdpAddr(sockaddr* out) {
  if (out == nullptr) return zevpapi::kMissingParameter;
  const char* host = std::getenv("ZEVP_API_DPAPI_HOST");
  if (host == nullptr || host[0] == '\0') {
    if (gethostname(NameString, sizeof NameString) != 0) NameString[0] = '\0';
    NameString[sizeof NameString - 1] = '\0';
    host = NameString;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) {
    // The message's insert holds a name cut to 79 characters.
    size_t length = strnlen(host, sizeof Common_SubText - 1);
    std::memcpy(Common_SubText, host, length);
    Common_SubText[length] = '\0';
    zevpapi::TraceStep("anchor", "host %s cannot be resolved", host);
    return zevpapi::kHostNotResolvable;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(SettingOr("ZEVP_API_DPAPI_PORT", kDefaultPort, 65535)));
  address.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  std::memcpy(out, &address, sizeof address);
  return zevpapi::kSuccess;
}
