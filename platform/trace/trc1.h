// Trace facility: units, classes and the calls every source file makes.
//
// Each source file owns one unit (TRC_UNIT), named after the file. A unit caches
// its class flags and refreshes them only when the facility's configuration
// generation changes, so a class test costs two atomic loads.
//
// Configuration comes from the environment variable ZEV_TRACE (see README):
//   ZEV_TRACE="*=0x80 storage=0x93 >/var/log/zev.trc"
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// Trace classes.
constexpr uint32_t TRC_UNIT_DETAIL = 0x01;
constexpr uint32_t TRC_STORAGE = 0x02;
constexpr uint32_t TRC_DETAIL = 0x10;
constexpr uint32_t TRC_FLOW = 0x40;
constexpr uint32_t TRC_ERROR = 0x80;
constexpr uint32_t TRC_PRODSPEC = 0x100;

struct TRC1_Unit {
  constexpr explicit TRC1_Unit(const char* sourceFile) : file(sourceFile) {}
  const char* file;
  std::atomic<uint32_t> generation{0};
  std::atomic<uint32_t> flags{0};
};

enum TRC1_EventKind { TRC1_ENTRY, TRC1_EXIT };

// The unit's current class flags, refreshed when the configuration changed.
uint32_t TRC1_Sync(TRC1_Unit* unit);

// The configuration generation in effect: 1 until the facility has read its first
// configuration, a generation that no unit has seen (a unit starts at 0).
extern std::atomic<uint32_t> TRC1_Generation;

// A unit that has seen the generation in effect answers from its cache, inline: the
// data roads pass dozens of trace sites a row with their classes off.
inline uint32_t TRC1_Flags(TRC1_Unit* unit) {
  if (unit->generation.load(std::memory_order_acquire) == TRC1_Generation.load(std::memory_order_acquire))
    return unit->flags.load(std::memory_order_acquire);
  return TRC1_Sync(unit);
}

// Writes one line. Callers test the class first (TRC below does).
void TRC1_Printf(TRC1_Unit* unit, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Entry and exit of a function; written when the unit has TRC_FLOW on.
void TRC1_Event(TRC1_Unit* unit, int line, TRC1_EventKind kind, const char* function);

// Replaces the configuration (same syntax as ZEV_TRACE) and bumps the generation.
void TRC1_Configure(const char* configuration);

// Test support: keeps a copy of every line written from now on, whatever the sink.
void TRC1_StartCapture();
// The lines captured since the last start (or take), and clears them.
std::string TRC1_TakeCapture();
void TRC1_StopCapture();

#define TRC_UNIT() static TRC1_Unit trcUnit_(__FILE__)
#define TRC_ON(cls) ((TRC1_Flags(&trcUnit_) & (cls)) != 0)
#define TRC(cls, ...)                                           \
  do {                                                          \
    if (TRC_ON(cls)) TRC1_Printf(&trcUnit_, __LINE__, __VA_ARGS__); \
  } while (0)
#define TRC_ENTRY() \
  do { if (TRC_ON(TRC_FLOW)) TRC1_Event(&trcUnit_, __LINE__, TRC1_ENTRY, __func__); } while (0)
#define TRC_EXIT() \
  do { if (TRC_ON(TRC_FLOW)) TRC1_Event(&trcUnit_, __LINE__, TRC1_EXIT, __func__); } while (0)
