// The text of the metafile exchange between data providers (docs/metafile-exchange.md),
// in the local character code; the callers convert to and from the network code.
//   request:  "GETMETA " name                      (no terminator, at most 255 bytes)
//   reply:    "0 \n" count " \n" then each record and "\n"
//             "1 \n" for a metafile not found
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DPAB;

namespace zevp {

constexpr size_t kMetafileRequestMax = 255;
constexpr int kDefaultMetafilePort = 7800;

// The metafile port: ZEVP_META_SERVER_PORT, else 7800 plus the product
// file's DP_PORT_OFFSET (host byte order).
uint16_t MetafilePort();

// The request for the name; empty when it would pass kMetafileRequestMax (a cut
// name could ask for another metafile).
std::string MetafileRequest(const char* metafileName);

// The name a received request asks for; false (traced) for anything else.
bool ParseMetafileRequest(const std::string& request, std::string* metafileName);

// A reply read as its bytes arrive.
class MetafileReplyReader {
 public:
  enum class State { Incomplete, Complete, Invalid };

  // Takes more of the reply; its state once they are in.
  State add(const char* bytes, size_t length);
  State state() const { return state_; }

  // Once complete: the server's status, and with status 0 the records.
  int32_t status() const { return status_; }
  const std::vector<std::string>& records() const { return records_; }

 private:
  void parse();
  bool nextLine(std::string* line);

  std::string pending_;  // bytes not yet taken as a line
  State state_ = State::Incomplete;
  int lines_ = 0;
  int32_t status_ = 0;
  int32_t expected_ = 0;
  size_t received_ = 0;
  std::vector<std::string> records_;
};

}  // namespace zevp
