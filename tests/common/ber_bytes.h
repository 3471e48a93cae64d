// Byte helpers of the BER codec tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

// A packet held in exactly its own bytes on the heap, so that the address
// sanitizer catches a read past its end.
class Packet {
 public:
  // hex: pairs of hex digits, blanks between them allowed ("02 01 ff").
  explicit Packet(const std::string& hex) {
    std::string digits;
    for (char c : hex)
      if (c != ' ') digits += c;
    size_ = static_cast<uint32_t>(digits.size() / 2);
    bytes_.reset(new char[size_ > 0 ? size_ : 1]);
    for (uint32_t i = 0; i < size_; ++i)
      bytes_[i] = static_cast<char>(std::strtoul(digits.substr(2 * i, 2).c_str(), nullptr, 16));
  }
  char* data() const { return bytes_.get(); }
  uint32_t size() const { return size_; }
  char* end() const { return bytes_.get() + size_; }

 private:
  std::unique_ptr<char[]> bytes_;
  uint32_t size_ = 0;
};

// Bytes as lower-case hex without blanks.
inline std::string Hex(const char* bytes, size_t size) {
  std::string hex;
  char pair[3];
  for (size_t i = 0; i < size; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(bytes[i]));
    hex += pair;
  }
  return hex;
}
