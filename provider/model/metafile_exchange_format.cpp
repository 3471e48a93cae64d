#include "metafile_exchange_format.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "trc1.h"
#include "zev/prodspec_items.h"
#include "zev0/env.h"
#include "zev0/prodspec.h"

TRC_UNIT();

namespace {

constexpr char kRequestWord[] = "GETMETA";
// Far above any metafile: a reply that grows past it is not one.
constexpr size_t kReplyMax = 16 * 1024 * 1024;

// A whole decimal number between blanks; false for anything else.
bool decimalLine(const std::string& line, int32_t* value) {
  const char* text = line.c_str();
  char* end = nullptr;
  errno = 0;
  long number = std::strtol(text, &end, 10);
  if (end == text || errno != 0 || number < INT32_MIN || number > INT32_MAX) return false;
  while (*end == ' ') ++end;
  if (*end != '\0') return false;
  *value = static_cast<int32_t>(number);
  return true;
}

// A port number from a decimal text, or 0 when it is none.
int portValue(const char* text) {
  if (text == nullptr) return 0;
  char* end = nullptr;
  long port = std::strtol(text, &end, 10);
  return end != text && port > 0 && port < 65536 ? static_cast<int>(port) : 0;
}

}  // namespace

namespace zevp {

uint16_t MetafilePort() {
  const char* setting = ZEV0_GetEnv("ZEVP_META_SERVER_PORT", nullptr);
  if (setting != nullptr) {
    if (int port = portValue(setting)) return static_cast<uint16_t>(port);
    TRC(TRC_ERROR, "*****Warning: ZEVP_META_SERVER_PORT <%s> is no port, the default taken", setting);
  }
  const char* offsetText = ZEV0_QueryProductSpec(ZEV2_DP_PORT_OFFSET);
  int offset = offsetText != nullptr ? std::atoi(offsetText) : 0;
  int port = kDefaultMetafilePort + offset;
  if (port <= 0 || port > 65535) {
    TRC(TRC_ERROR, "*****Warning: DP_PORT_OFFSET %d puts the metafile port out of range, %d taken", offset,
        kDefaultMetafilePort);
    port = kDefaultMetafilePort;
  }
  return static_cast<uint16_t>(port);
}

std::string MetafileRequest(const char* metafileName) {
  std::string request = std::string(kRequestWord) + " " + metafileName;
  if (request.size() > kMetafileRequestMax) {
    TRC(TRC_ERROR, "*** metafile name %s too long for a metafile request, not sent", metafileName);
    return std::string();
  }
  return request;
}

bool ParseMetafileRequest(const std::string& request, std::string* metafileName) {
  size_t first = request.find_first_not_of(' ');
  size_t firstEnd = request.find(' ', first);
  std::string word = first == std::string::npos ? std::string() : request.substr(first, firstEnd - first);
  if (word != kRequestWord) {
    TRC(TRC_ERROR, "*** Invalid metafile request received. Discarded. %s", request.c_str());
    return false;
  }
  size_t name = request.find_first_not_of(' ', firstEnd);
  if (firstEnd == std::string::npos || name == std::string::npos) {
    TRC(TRC_ERROR, "*** No metafile name found in GETMETA request. Discarded");
    return false;
  }
  *metafileName = request.substr(name, request.find(' ', name) - name);
  return true;
}

MetafileReplyReader::State MetafileReplyReader::add(const char* bytes, size_t length) {
  if (state_ != State::Incomplete) return state_;
  received_ += length;
  if (received_ > kReplyMax) {
    TRC(TRC_ERROR, "*** metafile reply longer than %zu bytes, refused", kReplyMax);
    state_ = State::Invalid;
    return state_;
  }
  pending_.append(bytes, length);
  parse();
  return state_;
}

// The next non-empty line; false while none has ended yet.
bool MetafileReplyReader::nextLine(std::string* line) {
  for (;;) {
    size_t end = pending_.find('\n');
    if (end == std::string::npos) return false;
    *line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    if (!line->empty()) return true;
  }
}

void MetafileReplyReader::parse() {
  std::string line;
  while (state_ == State::Incomplete && nextLine(&line)) {
    ++lines_;
    if (lines_ == 1) {
      if (!decimalLine(line, &status_)) state_ = State::Invalid;
      else if (status_ != 0) state_ = State::Complete;
    } else if (lines_ == 2) {
      if (!decimalLine(line, &expected_) || expected_ <= 0) {
        TRC(TRC_ERROR, "*** Invalid record count received. Assume file not found");
        state_ = State::Invalid;
      }
    } else {
      records_.push_back(line);
      if (records_.size() == static_cast<size_t>(expected_)) state_ = State::Complete;
    }
  }
}

}  // namespace zevp
