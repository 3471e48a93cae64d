#include "var_bind_text.h"

#include <cstring>
#include <string>

#include "model_lookups.h"
#include "zev0/ber.h"
#include "zev0/storage.h"

char* ZEVS_ConvertVarBindListToString(DPAB* anchor, const ZEVS_VarBindList* list) {
  if (list == nullptr || list->items == nullptr || list->count < 1) return nullptr;
  std::string text;
  for (int32_t i = 0; i < list->count; ++i) {
    const ZEVS_VarBind& item = list->items[i];
    if (item.oid == nullptr || item.value == nullptr) continue;
    const char* attribute = ZEVP_LocateAttributeByOID(anchor, item.oid);
    text.append("{");
    if (attribute != nullptr) {
      text.append(attribute).append("=");
    } else {
      text.append(item.oid).append("[").append(ZEV0_GetASN1typeString(item.asn1Type)).append("]");
    }
    text.append(item.value).append("}");
  }
  auto* block = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(text.size() + 1)));
  if (block != nullptr) std::memcpy(block, text.c_str(), text.size() + 1);
  return block;
}
