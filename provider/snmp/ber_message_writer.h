// Writes an SNMP message front to back into a buffer of fixed size, with the
// codec's field writers (zev0/ber.h), and refuses anything that would not fit:
// once a write would pass the end nothing more is written and ok() is false.
// The sizes of nested fields are worked out first with FieldSize and
// IntegerFieldSize, so that each header can be written before its content.
#pragma once

#include <cstdint>

class BerMessageWriter {
 public:
  BerMessageWriter(char* buffer, uint32_t size) : buffer_(buffer), size_(size) {}

  // Tag and length of a field whose content follows.
  void header(int tag, uint32_t contentLength);
  // A whole field: tag, length and the bytes.
  void field(int tag, const void* content, uint32_t length);
  // A whole INTEGER-like field (INTEGER, Counter, TimeTicks ...).
  void integer(int tag, int32_t value);
  // Bytes already encoded (a caller's OID or value field).
  void raw(const void* bytes, uint32_t length);

  bool ok() const { return ok_; }
  uint32_t length() const { return used_; }

  // Bytes of a whole field with content of that length.
  static uint32_t FieldSize(uint32_t contentLength);
  // Bytes of a whole INTEGER field holding the value.
  static uint32_t IntegerFieldSize(int32_t value);

 private:
  bool reserve(uint32_t bytes);

  char* buffer_;
  uint32_t size_;
  uint32_t used_ = 0;
  bool ok_ = true;
};
