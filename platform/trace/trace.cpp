// The trace facility: configuration generations, the output sink and the test capture.
#include "trc1.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "trace_config.h"

std::atomic<uint32_t> TRC1_Generation{1};

namespace {

struct Facility {
  std::mutex lock;
  trc1::TraceConfig config;
  std::FILE* sink = stderr;
  bool capturing = false;
  std::string captured;

  Facility() { apply(trc1::TraceConfig::parse(std::getenv("ZEV_TRACE"))); }

  // Caller holds the lock (or is the constructor).
  void apply(trc1::TraceConfig next) {
    if (sink != stderr) std::fclose(sink);
    sink = stderr;
    if (!next.outputPath.empty()) {
      std::FILE* file = std::fopen(next.outputPath.c_str(), "ae");
      if (file) sink = file;
    }
    config = std::move(next);
    TRC1_Generation.fetch_add(1, std::memory_order_release);
  }
};

Facility& facility() {
  static Facility* instance = new Facility();  // never destroyed: threads may trace during exit
  return *instance;
}

std::string timePrefix() {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm local;
  localtime_r(&now.tv_sec, &local);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03ld [%ld] ", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                now.tv_nsec / 1000000, static_cast<long>(syscall(SYS_gettid)));
  return text;
}

void writeLine(TRC1_Unit* unit, int line, const std::string& text) {
  std::string body = text;
  while (!body.empty() && body.back() == '\n') body.pop_back();
  std::string record = timePrefix() + trc1::unitNameOf(unit->file) + "(" + std::to_string(line) + ") " + body + "\n";
  Facility& f = facility();
  std::lock_guard<std::mutex> guard(f.lock);
  std::fputs(record.c_str(), f.sink);
  std::fflush(f.sink);
  if (f.capturing) f.captured += record;
}

}  // namespace

uint32_t TRC1_Sync(TRC1_Unit* unit) {
  Facility& f = facility();
  uint32_t current = TRC1_Generation.load(std::memory_order_acquire);
  if (unit->generation.load(std::memory_order_acquire) != current) {
    uint32_t classes;
    {
      std::lock_guard<std::mutex> guard(f.lock);
      classes = f.config.classesFor(trc1::unitNameOf(unit->file));
      current = TRC1_Generation.load(std::memory_order_acquire);
    }
    unit->flags.store(classes, std::memory_order_release);
    unit->generation.store(current, std::memory_order_release);
  }
  return unit->flags.load(std::memory_order_acquire);
}

void TRC1_Printf(TRC1_Unit* unit, int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);
  writeLine(unit, line, text);
}

void TRC1_Event(TRC1_Unit* unit, int line, TRC1_EventKind kind, const char* function) {
  writeLine(unit, line, std::string(kind == TRC1_ENTRY ? "Entry: " : "Exit: ") + function);
}

void TRC1_Configure(const char* configuration) {
  Facility& f = facility();
  std::lock_guard<std::mutex> guard(f.lock);
  f.apply(trc1::TraceConfig::parse(configuration));
}

void TRC1_StartCapture() {
  Facility& f = facility();
  std::lock_guard<std::mutex> guard(f.lock);
  f.capturing = true;
  f.captured.clear();
}

std::string TRC1_TakeCapture() {
  Facility& f = facility();
  std::lock_guard<std::mutex> guard(f.lock);
  std::string lines;
  lines.swap(f.captured);
  return lines;
}

void TRC1_StopCapture() {
  Facility& f = facility();
  std::lock_guard<std::mutex> guard(f.lock);
  f.capturing = false;
  f.captured.clear();
}
