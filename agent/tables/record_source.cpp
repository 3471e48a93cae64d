#include "record_source.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "trc1.h"

TRC_UNIT();

namespace {

constexpr size_t kMaxSourceName = kRecordSourceNameSize - 1;

bool isDottedAddress(const std::string& name) {
  in_addr address;
  return inet_pton(AF_INET, name.c_str(), &address) == 1;
}

}  // namespace

void recordSourceName(const char* name, size_t length, char (&sourceName)[kRecordSourceNameSize]) {
  std::string source(name, strnlen(name, length));
  if (!isDottedAddress(source)) source.erase(std::min(source.find('.'), source.size()));
  if (source.size() > kMaxSourceName) {
    TRC(TRC_ERROR, "Warning: SourceName <%s> length=%d > max length=%d -> truncating", source.c_str(),
        static_cast<int>(source.size()), static_cast<int>(kMaxSourceName));
    source.erase(0, source.size() - kMaxSourceName);
    TRC(TRC_ERROR, "Warning: SourceName now equals <%s>", source.c_str());
  }
  std::memset(sourceName, 0, sizeof sourceName);
  std::memcpy(sourceName, source.data(), source.size());
}
