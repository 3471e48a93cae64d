#include "post_message.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

int ZEVP_CheckDataConversion(const unsigned char* data, int length) {
  for (int i = 0; i < length; ++i) {
    unsigned char byte = data[i];
    bool letterOrDigit = (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
    if (letterOrDigit) return 0;
  }
  return 1;
}

namespace zevp {

std::string_view PostText(const char* data, size_t length) {
  if (length == 0) return {};
  const void* zero = std::memchr(data, '\0', length);
  return std::string_view(data, zero != nullptr ? static_cast<size_t>(static_cast<const char*>(zero) - data) : length);
}

std::vector<std::string_view> PostFields(std::string_view text, const char* delimiters) {
  std::vector<std::string_view> fields;
  std::string_view separators = delimiters != nullptr ? delimiters : "";
  if (separators.empty()) {
    if (!text.empty()) fields.push_back(text);
    return fields;
  }
  size_t start = text.find_first_not_of(separators);
  while (start != std::string_view::npos) {
    size_t end = text.find_first_of(separators, start);
    if (end == std::string_view::npos) end = text.size();
    fields.push_back(text.substr(start, end - start));
    start = text.find_first_not_of(separators, end);
  }
  return fields;
}

std::string PostAckStamp(const in_addr& address, const char* timeStamp, char categoryKey, uint16_t checkSum) {
  char stamp[ZEVP_POST_ACK_STAMP_LENGTH + 1];
  std::snprintf(stamp, sizeof stamp, "%08X%.12s%c%05u", static_cast<unsigned>(ntohl(address.s_addr)), timeStamp + 1,
                categoryKey, static_cast<unsigned>(checkSum));
  return stamp;
}

}  // namespace zevp
