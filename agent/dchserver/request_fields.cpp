#include "request_fields.h"

#include <cstring>

#include "trc1.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

// The length up to the first NUL: a name with a NUL inside is as long as what is kept.
size_t keptLength(const char* value, uint32_t length) { return value == nullptr ? 0 : strnlen(value, length); }

template <size_t Holder>
void copyName(const char* value, size_t length, char (&holder)[Holder]) {
  std::memcpy(holder, value, length);
  holder[length] = '\0';
}

}  // namespace

DataFieldReader requestFields(char* message) {
  DataFieldReader fields(message, ZEV0_MessageTotalLength(message));
  char* value;
  uint32_t length;
  fields.next(&value, &length);  // the request code, read by the request loop
  return fields;
}

std::string fieldText(const char* value, uint32_t length) { return std::string(value, keptLength(value, length)); }

bool takeApplName(const char* value, uint32_t length, char (&applName)[kApplNameHolder]) {
  size_t kept = keptLength(value, length);
  if (kept < DCH_MIN_APPL_NAME || kept > DCH_MAX_APPL_NAME) {
    TRC(TRC_ERROR, "Error: applName length %d > %d", static_cast<int>(kept), static_cast<int>(DCH_MAX_APPL_NAME));
    return false;
  }
  copyName(value, kept, applName);
  return true;
}

bool takeAttrGroup(const char* value, uint32_t length, char (&attrGroup)[kAttrGroupHolder]) {
  size_t kept = keptLength(value, length);
  if (kept > DCH_MAX_ATTR_GROUP) {
    TRC(TRC_ERROR, "Error: attrGroup length %d > %d", static_cast<int>(kept), static_cast<int>(DCH_MAX_ATTR_GROUP));
    return false;
  }
  copyName(value, kept, attrGroup);
  return true;
}

bool upperCaseName(char* name) {
  if (ZEV0_ConvertStringToUpper(name, 0) != nullptr) return true;
  TRC(TRC_ERROR, "Error: ZEV0_ConvertStringToUpper failed for <%s>", name ? name : "(null)");
  return false;
}
