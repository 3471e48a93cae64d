#include "ratio.h"

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

double RatePerSecond(const LoopPass& pass, std::chrono::milliseconds slice) {
  Clock::time_point start = Clock::now();
  long operations = pass(start + slice);
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return seconds > 0 ? static_cast<double>(operations) / seconds : 0;
}

}  // namespace

double MedianRatio(const LoopPass& bare, const LoopPass& measured, int turns, std::chrono::milliseconds slice) {
  std::vector<double> ratios;
  for (int turn = 0; turn < turns; ++turn) {
    double bareRate = RatePerSecond(bare, slice);
    double measuredRate = RatePerSecond(measured, slice);
    ratios.push_back(bareRate > 0 ? measuredRate / bareRate : 0);
  }
  std::sort(ratios.begin(), ratios.end());
  return ratios[ratios.size() / 2];
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
