// A datagram's bytes to its TRAP row: the decoder, the VarBind texts and the row,
// which must stay within the row buffer.
#include <cstddef>
#include <cstdint>

#include "no_name_service.h"
#include "trap_row.h"
#include "trc1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (TRC1_Configure("*=0"), true);
  static NoNameService names;
  (void)ready;
  TrapRow row;
  if (zevs::TrapDatagramToRow(nullptr, reinterpret_cast<const char*>(data), static_cast<uint32_t>(size), &row) &&
      row.text.size() >= ZEVS_TRAP_ROW_SIZE)
    __builtin_trap();
  return 0;
}
