// The fields of the network files' lines: dotted addresses and whole numbers, taken
// only when the whole text is one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zevs {

// The address (network byte order) of a dotted text of four decimal parts, each
// 0 … 255; false for anything else.
bool ParseDottedAddress(const std::string& text, uint32_t* address);
// The value of a text of decimal digits within [minimum, maximum]; false otherwise.
bool ParseWholeNumber(const std::string& text, int64_t minimum, int64_t maximum, int64_t* value);
// The pieces of the text between the separator characters, empty ones kept.
std::vector<std::string> SplitFields(const std::string& text, char separator);

}  // namespace zevs
