// Base64 text from outside: any text decodes within the room the decoder asks of
// its caller (3 bytes per started group of four characters and the terminator),
// and what was encoded decodes back to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "trc1.h"
#include "zev0/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (TRC1_Configure("*=0"), true);
  (void)quiet;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const char* text = input.c_str();  // up to the first NUL, as a caller's text
  const size_t length = std::strlen(text);

  // Exactly the room promised, so that a write beyond it is caught.
  std::unique_ptr<char[]> decoded(new char[(length + 3) / 4 * 3 + 1]);
  char* output = decoded.get();
  ZEV0_DecodeBase64(text, &output);

  std::unique_ptr<char[]> encoded(new char[(length + 2) / 3 * 4 + 1]);
  output = encoded.get();
  if (ZEV0_EncodeBase64(text, &output) == 1) {
    std::unique_ptr<char[]> back(new char[length + 4]);
    output = back.get();
    if (ZEV0_DecodeBase64(encoded.get(), &output) != 1 || std::strcmp(back.get(), text) != 0) std::abort();
  }
  return 0;
}
