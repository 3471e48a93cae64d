// BER from an SNMP peer: the field and integer readers walk any packet without
// reading past its remaining bytes; OID content decodes into at most the array's
// elements and back into dotted text; dotted text from a file encodes or is refused.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "trc1.h"
#include "zev0/ber.h"
#include "zev0/storage.h"

namespace {

void readFields(char* packet, uint32_t size) {
  char* cursor = packet;
  uint32_t remaining = size;
  while (remaining > 0) {
    int32_t number;
    char* before = cursor;
    if (ZEV0_ExtractBERinteger(&cursor, remaining, &number) == 0 && cursor == before) {
      uint32_t length;
      char* value;
      if (ZEV0_ExtractBERfield(&cursor, remaining, &length, &value) == 0) return;
      if (value != nullptr && (value < packet || value + length > packet + size)) std::abort();
    }
    remaining -= static_cast<uint32_t>(cursor - before);
  }
}

void decodeOid(const char* content, uint32_t length) {
  int32_t count = 0;
  uint32_t* elements = ZEV0_DecodeOIDfromBER(content, length, &count);
  if (elements == nullptr) return;
  if (count < 0 || count > ZEV0_OID_MAX_ELEMENTS) std::abort();
  char* text = ZEV0_ConvertOIDtoString(elements, count);
  ZEV0_FreeStorage(&text);
  ZEV0_FreeStorage(&elements);
}

void encodeOidText(const std::string& text) {
  char* block = nullptr;
  int32_t length = 0;
  if (ZEV0_FormatOIDfromString(text.c_str(), &block, &length) == 1) ZEV0_FreeStorage(&block);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (TRC1_Configure("*=0"), true);
  (void)quiet;
  // Exactly the packet: a read beyond it is caught.
  std::unique_ptr<char[]> packet(new char[size > 0 ? size : 1]);
  std::memcpy(packet.get(), data, size);
  readFields(packet.get(), static_cast<uint32_t>(size));
  decodeOid(packet.get(), static_cast<uint32_t>(size));
  encodeOidText(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
