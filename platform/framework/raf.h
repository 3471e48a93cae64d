// Remote-agent framework stand-in: the calls the system makes of the framework.
#pragma once

#include <string>
#include <vector>

// Creates a console message on the management side. options: 0.
void RAF_CreateMessage(const char* severity, const char* category, const char* text, int options);

namespace raf {

// What RAF_CreateMessage was given (a null text is kept as an empty one).
struct ConsoleMessage {
  std::string severity;
  std::string category;
  std::string text;
  int options;
};

// Test support: the messages created since the last take, oldest first; clears them.
std::vector<ConsoleMessage> TakeConsoleMessages();

}  // namespace raf
