// RPC runtime stand-in: the fault frame, which turns a fault raised in a call into a
// 32-bit code.
//
// A thread opens a frame before a call and closes it after; a fault raised on that
// thread while the frame is open (the client stubs raise every call failure) is kept
// in the innermost open frame, and the raising call returns at once without touching
// its out arguments. No C++ exception is involved: the code is a value the caller reads.
#pragma once

#include "rpc_status.h"

struct exc__frame_t {
  rpc__status_t code;   // the first fault raised while open; 0 for none
  exc__frame_t* outer;  // the frame that was innermost before this one
  bool open;
};

// Opens the frame as the thread's innermost, its code 0.
void exc__push_frame(exc__frame_t* frame);
// Closes the frame (and any frame opened inside it and left open); its code.
rpc__status_t exc__pop_frame(exc__frame_t* frame);
// Hands the fault to the thread's innermost open frame, which keeps its first one.
// Without an open frame the fault is traced and goes no further.
void exc__raise(rpc__status_t code);

namespace rpc {

// A frame open for the life of the object (or until close()).
class FaultFrame {
 public:
  FaultFrame() { exc__push_frame(&frame_); }
  ~FaultFrame() { close(); }
  FaultFrame(const FaultFrame&) = delete;
  FaultFrame& operator=(const FaultFrame&) = delete;

  rpc__status_t code() const { return frame_.code; }
  // Closes the frame: a fault raised later goes to the frame outside it.
  rpc__status_t close() { return frame_.open ? exc__pop_frame(&frame_) : frame_.code; }

 private:
  exc__frame_t frame_{};
};

}  // namespace rpc
