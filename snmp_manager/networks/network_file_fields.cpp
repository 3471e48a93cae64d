#include "network_file_fields.h"

#include <arpa/inet.h>

#include <cctype>

namespace zevs {

bool ParseDottedAddress(const std::string& text, uint32_t* address) {
  std::vector<std::string> parts = SplitFields(text, '.');
  if (parts.size() != 4) return false;
  uint32_t value = 0;
  for (const std::string& part : parts) {
    int64_t number = 0;
    if (part.size() > 3 || !ParseWholeNumber(part, 0, 255, &number)) return false;
    value = value << 8 | static_cast<uint32_t>(number);
  }
  *address = htonl(value);
  return true;
}

bool ParseWholeNumber(const std::string& text, int64_t minimum, int64_t maximum, int64_t* value) {
  if (text.empty() || text.size() > 12) return false;
  int64_t number = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    number = number * 10 + (c - '0');
  }
  if (number < minimum || number > maximum) return false;
  *value = number;
  return true;
}

std::vector<std::string> SplitFields(const std::string& text, char separator) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1)
    fields.push_back(text.substr(start, end - start));
  fields.push_back(text.substr(start));
  return fields;
}

}  // namespace zevs
