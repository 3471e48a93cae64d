// The 16-bit checksum that goes into every application key: its value must never change.
#include <cstdint>
#include <cstring>

#include "trc1.h"
#include "zev0/codepage.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

uint32_t sumOfWords(const unsigned char* bytes, int32_t length) {
  uint32_t sum = 0;
  for (int32_t i = 0; i + 1 < length; i += 2) sum += static_cast<uint32_t>(bytes[i] << 8 | bytes[i + 1]);
  // Each 4-byte group adds once more its bytes 0 (high) and 2 (low).
  for (int32_t i = 0; i + 3 < length; i += 4) sum += static_cast<uint32_t>(bytes[i] << 8 | bytes[i + 2]);
  return sum;
}

}  // namespace

uint16_t ZEV0_ComputeCheckSum(const void* data, int32_t length) {
  if (data == nullptr || length < 0) length = 0;
  // Whole 4-byte words, the added bytes 0; 64-bit so that a length near the limit cannot wrap.
  int64_t padded = (static_cast<int64_t>(length) + 3) / 4 * 4;
  int32_t bufferSize = padded > INT32_MAX ? -1 : static_cast<int32_t>(padded);
  auto* buffer = static_cast<unsigned char*>(ZEV0_GetStorage(bufferSize));
  uint32_t sum = 0;
  if (buffer != nullptr) {
    std::memset(buffer, 0, static_cast<size_t>(padded));
    std::memcpy(buffer, data, static_cast<size_t>(length));
    ZEV0_ConvertDataToNetwork(buffer, length);
    sum = sumOfWords(buffer, bufferSize);
    ZEV0_FreeStorage(&buffer);
  }
  sum = (sum >> 16) + (sum & 0xFFFF);
  sum += sum >> 16;
  auto checksum = static_cast<uint16_t>(~sum & 0xFFFF);
  TRC(TRC_FLOW, "Check Sum->%d %.4X", checksum, checksum);
  return checksum;
}
