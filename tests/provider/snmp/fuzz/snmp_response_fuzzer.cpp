// A received datagram through the response checks and, once they accept it, the
// first VarBind's reading and its loading into attributes of each kind. The first
// byte chooses the expected request ID's low byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "attribute_entry.h"
#include "ber_attribute_load.h"
#include "model_limits.h"
#include "snmp_pdu.h"
#include "trc1.h"

namespace {

struct Kind {
  char type;
  uint16_t size;
};
constexpr Kind kKinds[] = {{'D', 16}, {'G', 4}, {'G', 2}, {'G', 3}, {'#', 4}, {'D', 1}};

void LoadInto(const Kind& kind, const std::vector<char>& varBinds, const SNMPvarBind& fields) {
  auto* attribute = static_cast<AttributeEntry*>(std::calloc(1, ZEVP_AttributeEntrySize(kind.size)));
  attribute->AttrType = kind.type;
  attribute->MaxValSize = kind.size;
  attribute->PreviousValue = ZEVP_FIRST_SAMPLE_MARKER;
  std::vector<char> copy = varBinds;  // loading may change text in place
  ZEVP_SNMPloadAttributeFromBER(copy.data(), static_cast<uint32_t>(copy.size()), attribute, fields.oidField,
                                static_cast<int32_t>(fields.oidFieldLength));
  std::free(attribute);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (TRC1_Configure("*=0"), true);
  (void)quiet;
  if (size < 1) return 0;
  const int32_t expected = data[0];
  std::vector<char> message(data + 1, data + size);
  int32_t status = 0, index = 0, received = 0;
  uint32_t length = 0;
  char* varBinds = ZEVP_SNMPverifyResponsePDU(message.data(), static_cast<uint32_t>(message.size()), expected,
                                              &status, &index, &received, &length);
  if (varBinds == nullptr) return 0;
  std::vector<char> list(varBinds, varBinds + length);
  SNMPvarBind fields{};
  if (ZEVP_ReadVarBind(list.data(), length, &fields) == 0) return 0;
  for (const Kind& kind : kKinds) LoadInto(kind, list, fields);
  return 0;
}
