// The data provider's echo buffer and its process-wide sequence counter.
#include <atomic>
#include <cstring>

#include "icmp_echo.h"
#include "icmp_probing.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

std::atomic<uint16_t> icmpSeq{0};

}  // namespace

namespace zevs {

const char kEchoRequestText[] = "Ploven ";

}  // namespace zevs

int32_t ZEVS_FormatICMPbuffer(char** buffer, int reuse, uint8_t type, uint8_t code, uint16_t identifier,
                              const char* text) {
  if (buffer == nullptr) return 0;
  if (*buffer == nullptr) {
    *buffer = static_cast<char*>(ZEV0_GetStorage(zevs::kIcmpBufferSize));
    if (*buffer == nullptr) return 0;
    std::memset(*buffer, 0, zevs::kIcmpBufferSize);
    TRC(TRC_STORAGE, "Allocated ICMP buffer @%p length %d", static_cast<void*>(*buffer), zevs::kIcmpBufferSize);
    reuse = 0;
  }
  bool fresh = reuse == 0;
  uint16_t sequence = fresh ? static_cast<uint16_t>(icmpSeq.fetch_add(1) + 1) : 0;
  uint32_t sendTime = fresh ? zevs::MillisecondClock() : 0;
  return zevs::BuildIcmpMessage(reinterpret_cast<uint8_t*>(*buffer), zevs::kIcmpBufferSize, !fresh, type, code,
                                identifier, sequence, sendTime, text);
}
