// Texts the framework is handed, as it keeps them (internal to the framework).
#pragma once

#include <string>

namespace raf {

// A null text is kept as an empty one.
inline std::string TextOf(const char* text) { return text != nullptr ? text : ""; }

}  // namespace raf
