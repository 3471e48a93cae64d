#include "rpc_frame.h"
#include "trc1.h"

TRC_UNIT();

namespace {

thread_local exc__frame_t* innermost = nullptr;

}  // namespace

void exc__push_frame(exc__frame_t* frame) {
  frame->code = rpc__s_ok;
  frame->outer = innermost;
  frame->open = true;
  innermost = frame;
}

rpc__status_t exc__pop_frame(exc__frame_t* frame) {
  if (frame->open) {
    // Frames opened inside this one and left open close with it.
    for (exc__frame_t* closing = innermost; closing != nullptr; closing = closing->outer) {
      closing->open = false;
      if (closing == frame) break;
    }
    innermost = frame->outer;
  }
  return frame->code;
}

void exc__raise(rpc__status_t code) {
  if (innermost == nullptr) {
    TRC(TRC_ERROR, "RPC fault %08x raised outside a fault frame", code);
    return;
  }
  if (innermost->code == rpc__s_ok) innermost->code = code;
}
