// A received message of typed fields: the bounded reader walks any bytes to the end
// of its fields without reading past the smaller of the declared total and the bytes
// held. The first byte of the input is the type letter that attribute values are
// read by; the rest is the message.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "trc1.h"
#include "zev0/typed_field.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (TRC1_Configure("*=0"), true);
  (void)quiet;
  if (size < 1) return 0;
  const char typeLetter = static_cast<char>(data[0]);
  const size_t held = size - 1;
  // Exactly the bytes held: a read beyond them is caught.
  std::unique_ptr<char[]> message(new char[held > 0 ? held : 1]);
  std::memcpy(message.get(), data + 1, held);

  DataFieldReader reader(message.get(), held);
  char* value;
  uint32_t length;
  while (reader.next(&value, &length, &typeLetter) != 0) {
    if (value < message.get() || length > held || value + length > message.get() + held) std::abort();
  }
  return 0;
}
