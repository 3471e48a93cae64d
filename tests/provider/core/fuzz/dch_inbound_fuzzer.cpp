// libFuzzer harness of what the agent sends a data provider on its DCH
// connection. The first byte of an input sets the size of the receives (1 to 64
// bytes) into which the rest is cut; every piece goes through the inbound stream
// and is taken message by message on a DCH block with no request in flight, until
// the bytes end or a frame drops the connection. Action messages become entries on
// the anchor's wait queue (no automation server runs), which are released after each
// input. Nothing may crash, hang or leak.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>

#include "action_entry.h"
#include "dch_comm.h"
#include "dch_inbound_messages.h"
#include "dch_inbound_stream.h"
#include "dp_anchor.h"

namespace {

DPAB* anchor = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ZEV_TRACE", "*=0", 1);
  anchor = zevp::NewAnchor();
  if (anchor == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t piece = data[0] % 64 + 1;
  DCHcomm comm;
  ZEVP_InitializeDCHcomm(&comm, anchor);
  DCHinboundStream stream;
  for (size_t at = 1; at < size; at += piece) {
    size_t length = size - at < piece ? size - at : piece;
    stream.append(reinterpret_cast<const char*>(data + at), length);
    if (!ZEVP_TakeInboundDCHmessages(&comm, stream)) break;
  }
  ZEVP_DestroyDCHcomm(&comm);
  for (ActionEntry* entry = anchor->heldActions; entry != nullptr;) {
    ActionEntry* next = entry->QueueNext;
    ZEVP_ReleaseActionEntry(anchor, entry);
    entry = next;
  }
  anchor->heldActions = nullptr;
  return 0;
}
