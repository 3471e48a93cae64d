#include "statistics.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include "dp_anchor.h"
#include "trc1.h"
#include "zev/dp_types.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

std::atomic<StatisticBlock*> SBptr{nullptr};
std::mutex creationMutex;

// The period, under the block's lock.
double BeginPeriodTime = 0;  // seconds on the basic services' clock
double TotalCPU = 0;         // process CPU seconds at its start

double Now() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  return static_cast<double>(now.seconds) + now.nanoseconds / 1e9;
}

double CPUseconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// Runs the change under the block's lock; nothing while there is no block.
template <typename Change>
void Update(Change change) {
  StatisticBlock* block = SBptr.load(std::memory_order_acquire);
  if (block == nullptr) return;
  BSV1_GetLock(&block->lock);
  change(*block);
  BSV1_ReleaseLock(&block->lock);
}

// The new rate, averaged with the previous one when there was one.
double NextRate(double previous, uint32_t count, double minutes) {
  double rate = count / minutes;
  return previous > 0 ? (rate + previous) / 2 : rate;
}

void StartNewPeriod(StatisticBlock& block, double now, double cpu) {
  double minutes = (now - BeginPeriodTime) / 60;
  block.cpuSeconds = cpu - TotalCPU;
  block.fileIOrate = NextRate(block.fileIOrate, block.fileIOs, minutes);
  block.socketIOrate = NextRate(block.socketIOrate, block.socketIOs, minutes);
  block.apiCallRate = NextRate(block.apiCallRate, block.apiCalls, minutes);
  block.appcIOrate = NextRate(block.appcIOrate, block.appcIOs, minutes);
  block.postRate = NextRate(block.postRate, block.postMessages, minutes);
  block.dchRate = NextRate(block.dchRate, block.dchMessages, minutes);
  block.fileIOs = block.socketIOs = block.apiCalls = block.appcIOs = block.postMessages = block.dchMessages = 0;
  BeginPeriodTime = now;
  TotalCPU = cpu;
}

// Appends to the text within its block; a text that would not fit is cut.
class Summary {
 public:
  explicit Summary(char* text) : text_(text) {}
  template <typename... Values>
  void add(const char* format, Values... values) {
    if (used_ >= ZEVP_STAT_LOG_TEXT_SIZE - 1) return;
    int written = std::snprintf(text_ + used_, static_cast<size_t>(ZEVP_STAT_LOG_TEXT_SIZE - used_), format, values...);
    if (written > 0) used_ = std::min(used_ + written, ZEVP_STAT_LOG_TEXT_SIZE - 1);
  }

 private:
  char* text_;
  int used_ = 0;
};

void WriteSummary(const StatisticBlock& block, int32_t dpType, double minutes, char* text) {
  Summary summary(text);
  summary.add("Interval %.1f min, ", minutes);
  switch (dpType) {
    case ZEV_DP_APIS:
      summary.add("API call rate %.1f/min, ", block.apiCallRate);
      break;
    case ZEV_DP_FILE:
      summary.add("Total opened files %d, File I/O rate %.1f/min, ", block.totalOpenedFiles, block.fileIOrate);
      break;
    case ZEV_DP_SOCK:
      summary.add("Total opened sockets %d, Socket I/O rate %.1f/min, ", block.totalOpenedSockets,
                  block.socketIOrate);
      break;
    case ZEV_DP_ASFS:
      summary.add("Total opened files %d, File I/O rate %.1f/min, Socket I/O rate %.1f/min, API call rate %.1f/min, ",
                  block.totalOpenedFiles, block.fileIOrate, block.socketIOrate, block.apiCallRate);
      break;
    case ZEV_DP_POST:
      summary.add("Message post rate %.1f/min, ", block.postRate);
      break;
    case ZEV_DP_SNMP:
      summary.add("Traps received %d, ", static_cast<int>(block.trapsReceived));
      break;
    case ZEV_DP_APPC:
      summary.add("Total conversations %d, APPC I/O rate %.1f/min, ", block.totalAPPCconversations, block.appcIOrate);
      break;
    default:
      return;  // the interval alone
  }
  summary.add("Output to agent message rate %.1f/min", block.dchRate);
}

}  // namespace

StatisticBlock* ZEVP_InitializeStatisticBlock() {
  std::lock_guard<std::mutex> creation(creationMutex);
  if (StatisticBlock* block = SBptr.load()) return block;
  auto* block = static_cast<StatisticBlock*>(ZEV0_GetStorage(sizeof(StatisticBlock)));
  if (block == nullptr) {
    TRC(TRC_ERROR, "***** Unable to get storage for Statistic Block");
    return nullptr;
  }
  std::memset(static_cast<void*>(block), 0, sizeof *block);
  BSV1_InitializeLock(&block->lock);
  BeginPeriodTime = Now();
  TotalCPU = CPUseconds();
  SBptr.store(block, std::memory_order_release);
  return block;
}

void ZEVP_UpdateStatLogFileIO(int32_t files, int32_t ios) {
  Update([=](StatisticBlock& block) {
    block.totalOpenedFiles += files;
    block.fileIOs += static_cast<uint32_t>(ios);
  });
}

void ZEVP_UpdateStatLogSockIO(int32_t sockets, int32_t ios) {
  Update([=](StatisticBlock& block) {
    block.totalOpenedSockets += sockets;
    block.socketIOs += static_cast<uint32_t>(ios);
  });
}

void ZEVP_UpdateStatLogAPIcalls(int32_t calls) {
  Update([=](StatisticBlock& block) { block.apiCalls += static_cast<uint32_t>(calls); });
}

void ZEVP_UpdateStatLogPost(int32_t messages) {
  Update([=](StatisticBlock& block) { block.postMessages += static_cast<uint32_t>(messages); });
}

void ZEVP_UpdateStatLogDCHio(int32_t messages) {
  Update([=](StatisticBlock& block) { block.dchMessages += static_cast<uint32_t>(messages); });
}

void ZEVP_UpdateStatLogTrap(int32_t traps) {
  Update([=](StatisticBlock& block) { block.trapsReceived += static_cast<uint32_t>(traps); });
}

void ZEVP_UpdateStatLogAPPCio(int32_t conversations, int32_t ios) {
  Update([=](StatisticBlock& block) {
    block.totalAPPCconversations += conversations;
    block.appcIOs += static_cast<uint32_t>(ios);
  });
}

char* ZEVP_FormatStatLog(const DPAB* anchor) {
  auto* text = static_cast<char*>(ZEV0_GetStorage(ZEVP_STAT_LOG_TEXT_SIZE));
  if (text == nullptr) return nullptr;
  std::memset(text, 0, ZEVP_STAT_LOG_TEXT_SIZE);
  StatisticBlock* block = SBptr.load(std::memory_order_acquire);
  if (block == nullptr) return text;
  double cpu = CPUseconds();
  BSV1_GetLock(&block->lock);
  double now = Now();
  double minutes = (now - BeginPeriodTime) / 60;
  // A shorter period would divide by (almost) nothing: its counts wait for the next.
  if (now - BeginPeriodTime >= 1) StartNewPeriod(*block, now, cpu);
  WriteSummary(*block, anchor != nullptr ? anchor->dpType : -1, minutes, text);
  BSV1_ReleaseLock(&block->lock);
  return text;
}
