// The stand-in keeps the console messages it is given, for tests to read.
#include "internal/recorded.h"
#include "internal/text_of.h"
#include "raf.h"

namespace {

raf::Recorded<raf::ConsoleMessage>& messages() {
  static auto* created = new raf::Recorded<raf::ConsoleMessage>();  // never destroyed: threads may call during exit
  return *created;
}

}  // namespace

void RAF_CreateMessage(const char* severity, const char* category, const char* text, int options) {
  messages().add({raf::TextOf(severity), raf::TextOf(category), raf::TextOf(text), options});
}

namespace raf {

std::vector<ConsoleMessage> TakeConsoleMessages() { return messages().take(); }

}  // namespace raf
