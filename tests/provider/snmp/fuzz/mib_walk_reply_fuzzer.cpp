// A received datagram through the walk's reply handling: as the GetNext answer of
// the row step (the next instance of a column) and as the Get answer of a column,
// loaded into a text and a rate attribute.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "attribute_entry.h"
#include "mib_row_step.h"
#include "trc1.h"

namespace {

constexpr char kColumn[] = "1.3.6.1.2.1.2.2.1.2";
// The OID field of 1.3.6.1.2.1.2.2.1.2.1.
const char kRequested[] = {0x06, 0x0A, 0x2B, 0x06, 0x01, 0x02, 0x01, 0x02, 0x02, 0x01, 0x02, 0x01};

AttributeEntry* NewAttribute(std::vector<char>& storage, char type, uint16_t size) {
  storage.assign(static_cast<size_t>(ZEVP_AttributeEntrySize(size)), 0);
  auto* attribute = reinterpret_cast<AttributeEntry*>(storage.data());
  std::strcpy(attribute->AttrName, "column");
  attribute->AttrType = type;
  attribute->MaxValSize = size;
  return attribute;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (TRC1_Configure("*=0"), true);
  (void)quiet;
  std::vector<char> reply(data, data + size);
  std::vector<char> copy = reply;
  char instance[ZEVP_SNMP_INSTANCE_SIZE] = ".1";
  zevp::InstanceFromGetNextReply(copy.data(), static_cast<uint32_t>(copy.size()), 7, kColumn, instance);
  std::vector<char> storage;
  for (char type : {'D', '?'}) {
    AttributeEntry* attribute = NewAttribute(storage, type, type == 'D' ? 32 : 4);
    copy = reply;
    int32_t loaded = 0;
    bool stale = false;
    int32_t status = 0;
    zevp::ColumnFromGetReply(copy.data(), static_cast<uint32_t>(copy.size()), 7, attribute, kRequested,
                             sizeof kRequested, &loaded, &stale, &status);
  }
  return 0;
}
