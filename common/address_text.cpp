#include "zev0/hostnames.h"

#include <cctype>
#include <cstring>

namespace {

bool isDigit(char character) { return std::isdigit(static_cast<unsigned char>(character)) != 0; }

}  // namespace

// A look at the shape only: callers that need the address convert it and must
// check that the conversion worked.
int ZEV0_IsThisAddressString(const char* text) {
  if (text == nullptr || !isDigit(text[0])) return 0;
  int dots = 0;
  for (const char* dot = std::strchr(text, '.'); dots < 3; dot = std::strchr(dot + 1, '.')) {
    if (dot == nullptr) return dots;
    if (!isDigit(dot[1])) return 0;
    ++dots;
  }
  return dots;
}

int ZEV0_IsThisFullyQualifiedName(const char* fileName) {
  return fileName != nullptr && std::strchr(fileName, '/') != nullptr ? 1 : 0;
}
