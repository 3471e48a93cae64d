#include "handle_sequence.h"

#include "bsv1.h"

namespace {

uint32_t startTimeBase() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  auto seconds = static_cast<uint64_t>(now.seconds < 0 ? -now.seconds : now.seconds);
  return static_cast<uint32_t>(seconds << 16);
}

}  // namespace

uint32_t HandleSequence::next() {
  uint32_t handle;
  do {
    handle = base_ + ++counter_;
  } while (handle == 0 || handle == DCH_NO_HANDLE);
  return handle;
}

uint32_t DCH_NextHandle() {
  static HandleSequence sequence(startTimeBase(), 0);
  return sequence.next();
}
