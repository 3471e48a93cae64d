// The header dictionary of a reply, built from the header lines as they come
// (each with its line end): a status line begins a new reply and empties it.
// Bounded: at most kMaxHeaders entries and kMaxHeaderBytes of text; what does not
// fit is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "vmo1.h"

namespace vmo1 {

class HeaderDictionary {
 public:
  static constexpr size_t kMaxHeaders = 64;
  static constexpr size_t kMaxHeaderBytes = 16384;

  HeaderDictionary();
  HeaderDictionary(const HeaderDictionary&) = delete;
  HeaderDictionary& operator=(const HeaderDictionary&) = delete;

  // One header line as received; a line that is neither a status line nor a
  // "Name: value" header (an empty line, a continuation) is ignored.
  void addLine(const char* line, size_t length);
  void clear();
  // The dictionary as the library hands it out.
  VMO1_HeaderDictionary* view() { return &view_; }

 private:
  void add(int32_t code, const std::string& value);
  void refreshView();

  std::vector<VMO1_HeaderInfo> entries_;
  std::vector<int32_t> index_;
  std::vector<char> text_;  // kMaxHeaderBytes bytes; values are placed from its start
  size_t used_ = 0;
  VMO1_HeaderDictionary view_{};
};

// The code of a header name (compared without regard to case).
int32_t HeaderCode(const std::string& name);

}  // namespace vmo1
