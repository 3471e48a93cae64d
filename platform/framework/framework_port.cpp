#include "internal/framework_port.h"

#include <sys/socket.h>

#include <cctype>
#include <cerrno>

namespace raf {

int FrameworkPortFrom(const char* text) {
  if (text == nullptr || text[0] == '\0') return kDefaultFrameworkPort;
  long port = 0;
  for (const char* digit = text; *digit != '\0'; ++digit) {
    if (!std::isdigit(static_cast<unsigned char>(*digit))) return 0;
    port = port * 10 + (*digit - '0');
    if (port > 65535) return 0;
  }
  return static_cast<int>(port);
}

bool SendWhole(int socketFD, const std::string& text) {
  size_t sent = 0;
  while (sent < text.size()) {
    ssize_t n = send(socketFD, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace raf
