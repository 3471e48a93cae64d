// Upper-casing and the characters allowed in names.
#include <cctype>
#include <cstring>

#include "trc1.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

void upperCase(char* text) {
  for (; *text != '\0'; ++text) *text = static_cast<char>(std::toupper(static_cast<unsigned char>(*text)));
}

bool isNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '*' || c == '-';
}

}  // namespace

char* ZEV0_ConvertStringToUpper(char* string, int copyFlag) {
  if (string == nullptr) {
    TRC(TRC_ERROR, "***** Input is NULL string");
    return nullptr;
  }
  if (copyFlag == 0) {
    upperCase(string);
    return string;
  }
  size_t size = std::strlen(string) + 1;
  auto* copy = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(size)));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, string, size);
  upperCase(copy);
  return copy;
}

void ZEV0_SubValidNameCharacter(char* name) {
  if (name == nullptr) return;
  for (; *name != '\0'; ++name) {
    if (isNameCharacter(*name)) continue;
    TRC(TRC_UNIT_DETAIL, "Invalid name character %c replaced by _", *name);
    *name = '_';
  }
}
