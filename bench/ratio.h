// Comparing two loops measured in the same run: each is run in turns for a slice of
// time, and the ratio of their rates is taken per turn; the median of the turns is
// reported, so that a slice disturbed by the rest of the machine does not decide it.
// Beside the ratio, the processor time (user and system) that each loop cost per
// operation, summed over its turns, in the processes that do its work.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// One pass of a loop: returns how many operations it did (a pass may do several, as
// when threads run side by side).
using LoopPass = std::function<long(std::chrono::steady_clock::time_point until)>;

// The processor time that some processes have used so far, in seconds; 0 stands for
// this process. A process that has ended counts no more.
class CpuClock {
 public:
  explicit CpuClock(std::vector<pid_t> processes = {0}) : processes_(std::move(processes)) {}
  double seconds() const;

 private:
  std::vector<pid_t> processes_;
};

// A loop and the processes whose time it costs.
struct MeteredLoop {
  LoopPass pass;
  CpuClock cpu;
};

struct LoopComparison {
  double ratio = 0;                    // median over the turns of measured/bare operations per second
  double bareCpuPerOperation = 0;      // seconds
  double measuredCpuPerOperation = 0;  // seconds
};

// The median over `turns` of (operations per second of `measured`) / (those of `bare`).
double MedianRatio(const LoopPass& bare, const LoopPass& measured, int turns = 7,
                   std::chrono::milliseconds slice = std::chrono::milliseconds(400));
// MedianRatio, and what each loop's processes spent per operation.
LoopComparison CompareLoops(const MeteredLoop& bare, const MeteredLoop& measured, int turns = 7,
                            std::chrono::milliseconds slice = std::chrono::milliseconds(400));

// A loop pass that repeats one operation until the time is up; it stops early (and
// counts only what succeeded) when the operation fails.
LoopPass Repeat(std::function<bool()> operation);

// Runs `count` copies of a pass on threads of their own, side by side; the sum.
LoopPass SideBySide(int count, std::function<LoopPass(int index)> make);

// "name ....... 0.93" on standard output.
void PrintRatio(const std::string& name, double ratio, const std::string& note = "");
// The ratio, then the processor time of an operation of each loop:
// "name ....... 0.93   cpu 41.0 us a row, bare 30.2 us an exchange" (the baseline's
// name and unit as given).
void PrintComparison(const std::string& name, const LoopComparison& comparison, const std::string& operation,
                     const std::string& note = "", const std::string& baseline = "bare");

// A road measured three ways in the same run, a line each: the road over its bare loop,
// its order built bare over the same loop, and the road over its order built bare, each
// with the processor time of an operation of both loops beside it.
void CompareRoad(const std::string& name, const MeteredLoop& bare, const MeteredLoop& order, const MeteredLoop& road,
                 const std::string& operation);

// "<program>: what" on standard error, for a benchmark that could not run; 1, its
// exit code.
int BenchFailure(const std::string& what);
