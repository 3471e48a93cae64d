// The management-server port of the framework stand-in, as its server and the zevraf
// command both see it (docs/framework-port.md).
#pragma once

#include <string>

namespace raf {

constexpr int kDefaultFrameworkPort = 1920;
constexpr char kFrameworkPortVariable[] = "ZEVA_RAF_PORT";

// The port a text names: decimal digits only, 1 to 65535; null or empty: the default;
// anything else: 0.
int FrameworkPortFrom(const char* text);

// Writes all of text to a connected socket; false when the peer went or the send timed out.
bool SendWhole(int socketFD, const std::string& text);

}  // namespace raf
