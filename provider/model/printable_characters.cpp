#include "printable_characters.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

#include "zev0/storage.h"

char* ZEVP_ConvertToPrintableCharacters(char* bytes, int32_t* length) {
  if (bytes == nullptr || length == nullptr || *length < 0) return bytes;
  bool printable = true;
  for (int32_t i = 0; i < *length; ++i) {
    auto c = static_cast<unsigned char>(bytes[i]);
    if (c == '\n' || c == '\r') bytes[i] = ' ', c = ' ';
    if (!std::isalnum(c) && !std::ispunct(c) && c != ' ') printable = false;
  }
  if (printable) return bytes;
  if (*length > (INT32_MAX - 1) / 2) return nullptr;
  int32_t hexLength = 2 * *length + 1;
  auto* hex = static_cast<char*>(ZEV0_GetStorage(hexLength));
  if (hex == nullptr) return nullptr;
  for (int32_t i = 0; i < *length; ++i)
    std::snprintf(hex + 2 * i, 3, "%02X", static_cast<unsigned char>(bytes[i]));
  hex[hexLength - 1] = '\0';
  *length = hexLength;
  return hex;
}
