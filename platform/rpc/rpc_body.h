// RPC runtime stand-in: the writer and the bounded reader of a call's body in the
// runtime's representation.
//
// Alignment is counted from the start of the body. Integers are written in the byte
// order of the body's data representation; characters in its character set, bytes
// as they are. Both keep the first fault they meet (a text over its bound, a count
// over its maximum, a read past the end); after it, writes add nothing and reads give
// zeros, so a stub may go on to its end and look at fault() once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "rpc_drep.h"
#include "rpc_status.h"

namespace rpc {

// The largest body one datagram carries.
constexpr size_t kMaximumBody = 65000;

class BodyWriter {
 public:
  explicit BodyWriter(rpc__drep_t drep = rpc__local_drep());

  rpc__drep_t drep() const { return drep_; }
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  rpc__status_t fault() const { return fault_; }
  // Keeps the first fault; what follows is not written.
  void fail(rpc__status_t code);

  // Zero bytes up to the next multiple of the boundary.
  void align(size_t boundary);
  void putU8(uint8_t value);
  void putU16(uint16_t value);
  void putU32(uint32_t value);
  // Characters, converted to the body's character set.
  void putChars(const char* text, size_t count);
  // Bytes as they are.
  void putBytes(const void* bytes, size_t count);
  // (align 2) a 16-bit count n, then the n characters and a terminating NUL. A text of
  // more than bound characters (no NUL within bound + 1) is a string-bound fault.
  void putCountedString(const char* text, size_t bound);

 private:
  bool room(size_t count);

  rpc__drep_t drep_;
  rpc__status_t fault_ = rpc__s_ok;
  std::vector<uint8_t> bytes_;
};

class BodyReader {
 public:
  BodyReader(const uint8_t* body, size_t length, rpc__drep_t drep);

  rpc__drep_t drep() const { return drep_; }
  rpc__status_t fault() const { return fault_; }
  void fail(rpc__status_t code);
  size_t remaining() const { return length_ - offset_; }

  void align(size_t boundary);
  uint8_t getU8();
  uint16_t getU16();
  uint32_t getU32();
  // count characters into out, converted to ASCII (out is not terminated).
  void getChars(char* out, size_t count);
  void getBytes(void* out, size_t count);
  // (align 2) a 16-bit count n, then n characters and their terminator, into out
  // (room for bound + 1), NUL-terminated. n above bound is a string-bound fault.
  void getCountedString(char* out, size_t bound);
  // A 16-bit array count that must not exceed the maximum (array-bound fault).
  uint16_t getCount(uint16_t maximum);

 private:
  bool take(size_t count);

  const uint8_t* body_;
  size_t length_;
  size_t offset_ = 0;
  rpc__drep_t drep_;
  rpc__status_t fault_ = rpc__s_ok;
};

}  // namespace rpc
