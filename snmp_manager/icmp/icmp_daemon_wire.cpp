#include "icmp_daemon_wire.h"

#include <arpa/inet.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The decimal number at text (an optional sign, then digits) up to the next blank
// or the end: false when there is none or it overflows 32 bits.
bool ReadNumber(const char* text, const char* end, long* value) {
  char digits[16];
  size_t length = 0;
  while (text + length < end && text[length] != ' ' && text[length] != '\0') ++length;
  if (length == 0 || length >= sizeof digits) return false;
  std::memcpy(digits, text, length);
  digits[length] = '\0';
  char* stop = nullptr;
  errno = 0;
  long number = std::strtol(digits, &stop, 10);
  if (errno != 0 || *stop != '\0' || stop == digits || number < INT32_MIN || number > INT32_MAX) return false;
  *value = number;
  return true;
}

// The token behind the next blank from text, or null.
const char* NextToken(const char* text) {
  const char* blank = std::strchr(text, ' ');
  return blank == nullptr ? nullptr : blank + 1;
}

}  // namespace

namespace zevs {

size_t FormatDaemonRequest(char* out, size_t size, int32_t sequence, const char* dottedAddress, int32_t waitMs,
                           uint16_t port) {
  int length = waitMs > 0 ? std::snprintf(out, size, "%d %s %d %d", sequence, dottedAddress, waitMs, port)
                          : std::snprintf(out, size, "%d %s %d", sequence, dottedAddress, port);
  return length < 0 || static_cast<size_t>(length) >= size ? 0 : static_cast<size_t>(length);
}

bool ParseDaemonRequest(const char* text, DaemonRequest* request) {
  const char* address = std::strchr(text, ' ');
  if (address == nullptr) return false;
  *request = DaemonRequest{};
  request->firstBlank = static_cast<size_t>(address - text);
  ++address;
  char dotted[INET_ADDRSTRLEN];
  size_t length = std::strcspn(address, " ");
  in_addr parsed{};
  if (length < sizeof dotted) {
    std::memcpy(dotted, address, length);
    dotted[length] = '\0';
    request->targetValid = inet_aton(dotted, &parsed) != 0;
  }
  request->target = request->targetValid ? parsed.s_addr : 0;
  request->waitMs = kDaemonDefaultWaitMs;
  const char* wait = NextToken(address);
  long number = 0;
  if (wait != nullptr && ReadNumber(wait, wait + std::strlen(wait), &number)) request->waitMs = static_cast<int32_t>(number);
  const char* port = wait == nullptr ? nullptr : NextToken(wait);
  if (port != nullptr && ReadNumber(port, port + std::strlen(port), &number)) {
    request->port = static_cast<uint16_t>(number);
  }
  return true;
}

void WriteDaemonReply(char* area, size_t size, const DaemonRequest& request, int32_t value) {
  size_t at = request.firstBlank + 1;
  if (at >= size) return;
  std::snprintf(area + at, size - at, "%d", value);
}

bool ParseDaemonReply(const char* text, size_t length, int32_t* sequence, int32_t* milliseconds) {
  const char* end = text + length;
  const char* blank = static_cast<const char*>(std::memchr(text, ' ', length));
  long first = 0;
  long second = 0;
  if (blank == nullptr || !ReadNumber(text, blank, &first) || !ReadNumber(blank + 1, end, &second)) return false;
  *sequence = static_cast<int32_t>(first);
  *milliseconds = static_cast<int32_t>(second);
  return true;
}

}  // namespace zevs
