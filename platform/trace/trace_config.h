// Parsed form of a trace configuration text.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace trc1 {

struct TraceConfig {
  uint32_t defaultClasses = 0x80;  // errors and warnings unless told otherwise
  std::vector<std::pair<std::string, uint32_t>> unitClasses;
  std::string outputPath;  // empty: standard error

  // Tokens separated by blanks or commas: "*=MASK", "UNIT=MASK", ">PATH".
  // Masks are decimal, octal (0...) or hex (0x...). Unknown tokens are skipped.
  static TraceConfig parse(const char* text);

  uint32_t classesFor(const std::string& unitName) const;
};

// "dch/udp_pool.cpp" -> "udp_pool"
std::string unitNameOf(const char* sourceFile);

}  // namespace trc1
