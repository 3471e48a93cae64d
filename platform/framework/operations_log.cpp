// The stand-in keeps the entries of the management server's operations log, for tests to read.
#include "internal/recorded.h"
#include "internal/text_of.h"
#include "raf_driver.h"

namespace {

raf::Recorded<raf::LogEntry>& entries() {
  static auto* written = new raf::Recorded<raf::LogEntry>();  // never destroyed: threads may write during exit
  return *written;
}

}  // namespace

int PXRAF_insert_log(const char* recordType, const char* text, const char* productCode) {
  entries().add({raf::TextOf(recordType), raf::TextOf(text), raf::TextOf(productCode)});
  return 0;
}

namespace raf {

std::vector<LogEntry> TakeOperationsLog() { return entries().take(); }

}  // namespace raf
