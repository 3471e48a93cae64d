#include "ratio.h"

#include <errno.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <thread>

using Clock = std::chrono::steady_clock;

namespace {

struct Turn {
  long operations = 0;
  double seconds = 0;
  double cpuSeconds = 0;
};

Turn RunTurn(const LoopPass& pass, const CpuClock* cpu, std::chrono::milliseconds slice) {
  Turn turn;
  double cpuBefore = cpu != nullptr ? cpu->seconds() : 0;
  Clock::time_point start = Clock::now();
  turn.operations = pass(start + slice);
  turn.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (cpu != nullptr) turn.cpuSeconds = cpu->seconds() - cpuBefore;
  return turn;
}

double Rate(const Turn& turn) { return turn.seconds > 0 ? static_cast<double>(turn.operations) / turn.seconds : 0; }

double SecondsOf(clockid_t clock) {
  timespec used{};
  if (clock_gettime(clock, &used) != 0) return 0;
  return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

LoopComparison Compare(const LoopPass& bare, const CpuClock* bareCpu, const LoopPass& measured,
                       const CpuClock* measuredCpu, int turns, std::chrono::milliseconds slice) {
  std::vector<double> ratios;
  Turn bareSum, measuredSum;
  for (int at = 0; at < turns; ++at) {
    Turn bareTurn = RunTurn(bare, bareCpu, slice);
    Turn measuredTurn = RunTurn(measured, measuredCpu, slice);
    ratios.push_back(Rate(bareTurn) > 0 ? Rate(measuredTurn) / Rate(bareTurn) : 0);
    bareSum.operations += bareTurn.operations;
    bareSum.cpuSeconds += bareTurn.cpuSeconds;
    measuredSum.operations += measuredTurn.operations;
    measuredSum.cpuSeconds += measuredTurn.cpuSeconds;
  }
  std::sort(ratios.begin(), ratios.end());
  LoopComparison comparison;
  comparison.ratio = ratios[ratios.size() / 2];
  if (bareSum.operations > 0) comparison.bareCpuPerOperation = bareSum.cpuSeconds / bareSum.operations;
  if (measuredSum.operations > 0)
    comparison.measuredCpuPerOperation = measuredSum.cpuSeconds / measuredSum.operations;
  return comparison;
}

}  // namespace

double CpuClock::seconds() const {
  double sum = 0;
  for (pid_t process : processes_) {
    clockid_t clock = CLOCK_PROCESS_CPUTIME_ID;
    if (process != 0 && clock_getcpuclockid(process, &clock) != 0) continue;
    sum += SecondsOf(clock);
  }
  return sum;
}

double MedianRatio(const LoopPass& bare, const LoopPass& measured, int turns, std::chrono::milliseconds slice) {
  return Compare(bare, nullptr, measured, nullptr, turns, slice).ratio;
}

LoopComparison CompareLoops(const MeteredLoop& bare, const MeteredLoop& measured, int turns,
                            std::chrono::milliseconds slice) {
  return Compare(bare.pass, &bare.cpu, measured.pass, &measured.cpu, turns, slice);
}

LoopPass Repeat(std::function<bool()> operation) {
  return [operation](Clock::time_point until) {
    long done = 0;
    while (Clock::now() < until) {
      if (!operation()) break;
      ++done;
    }
    return done;
  };
}

LoopPass SideBySide(int count, std::function<LoopPass(int index)> make) {
  std::vector<LoopPass> passes;
  for (int index = 0; index < count; ++index) passes.push_back(make(index));
  return [passes](Clock::time_point until) {
    std::vector<long> done(passes.size(), 0);
    std::vector<std::thread> threads;
    for (size_t index = 0; index < passes.size(); ++index)
      threads.emplace_back([&, index] { done[index] = passes[index](until); });
    for (std::thread& thread : threads) thread.join();
    long sum = 0;
    for (long each : done) sum += each;
    return sum;
  };
}

void PrintRatio(const std::string& name, double ratio, const std::string& note) {
  std::printf("%-58s %6.2f%s%s\n", name.c_str(), ratio, note.empty() ? "" : "   ", note.c_str());
  std::fflush(stdout);
}

void PrintComparison(const std::string& name, const LoopComparison& comparison, const std::string& operation,
                     const std::string& note, const std::string& baseline) {
  char cpu[160];
  std::snprintf(cpu, sizeof cpu, "cpu %.1f us a %s, %s %.1f us %s", comparison.measuredCpuPerOperation * 1e6,
                operation.c_str(), baseline.c_str(), comparison.bareCpuPerOperation * 1e6,
                baseline == "bare" ? "an exchange" : ("a " + operation).c_str());
  PrintRatio(name, comparison.ratio, note.empty() ? cpu : std::string(cpu) + "; " + note);
}

void CompareRoad(const std::string& name, const MeteredLoop& bare, const MeteredLoop& order, const MeteredLoop& road,
                 const std::string& operation) {
  PrintComparison(name, CompareLoops(bare, road), operation);
  PrintComparison("  its order built bare", CompareLoops(bare, order), operation);
  PrintComparison("  the road / its order built bare", CompareLoops(order, road), operation, "", "order");
}

int BenchFailure(const std::string& what) {
  std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, what.c_str());
  return 1;
}
