// libFuzzer harness of a command's output made into an action result: the first
// byte of an input sets ZEVP_ACTION_RESULT_SIZE (16 to 271), the rest is the output.
// The result must stay within its size; nothing may crash or leak.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "action_command.h"
#include "zev0/storage.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ZEV_TRACE", "*=0", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  int32_t bufferSize = 16 + data[0];
  FILE* output = size > 1 ? fmemopen(const_cast<uint8_t*>(data + 1), size - 1, "r") : std::tmpfile();
  if (output == nullptr) return 0;
  char* result = nullptr;
  int32_t length = 0;
  ZEVP_AssembleActionResult(output, bufferSize, &result, &length);
  std::fclose(output);
  if (result != nullptr && (length > bufferSize || std::strlen(result) != static_cast<size_t>(length))) std::abort();
  ZEV0_FreeStorage(&result);
  return 0;
}
