// The stand-in keeps the console messages it is given, for tests to read.
#include <mutex>

#include "raf.h"

namespace {

std::mutex messagesLock;

std::vector<raf::ConsoleMessage>& messages() {
  static auto* created = new std::vector<raf::ConsoleMessage>();  // never destroyed: threads may call during exit
  return *created;
}

std::string textOf(const char* text) { return text ? text : ""; }

}  // namespace

void RAF_CreateMessage(const char* severity, const char* category, const char* text, int options) {
  std::lock_guard<std::mutex> guard(messagesLock);
  messages().push_back({textOf(severity), textOf(category), textOf(text), options});
}

namespace raf {

std::vector<ConsoleMessage> TakeConsoleMessages() {
  std::lock_guard<std::mutex> guard(messagesLock);
  std::vector<ConsoleMessage> taken;
  taken.swap(messages());
  return taken;
}

}  // namespace raf
