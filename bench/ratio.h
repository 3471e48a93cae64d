// Comparing two loops measured in the same run: each is run in turns for a slice of
// time, and the ratio of their rates is taken per turn; the median of the turns is
// reported, so that a slice disturbed by the rest of the machine does not decide it.
#pragma once

#include <chrono>
#include <functional>
#include <string>

// One pass of a loop: returns how many operations it did (a pass may do several, as
// when threads run side by side).
using LoopPass = std::function<long(std::chrono::steady_clock::time_point until)>;

// The median over `turns` of (operations per second of `measured`) / (those of `bare`).
double MedianRatio(const LoopPass& bare, const LoopPass& measured, int turns = 7,
                   std::chrono::milliseconds slice = std::chrono::milliseconds(400));

// A loop pass that repeats one operation until the time is up; it stops early (and
// counts only what succeeded) when the operation fails.
LoopPass Repeat(std::function<bool()> operation);

// Runs `count` copies of a pass on threads of their own, side by side; the sum.
LoopPass SideBySide(int count, std::function<LoopPass(int index)> make);

// "name ....... 0.93" on standard output.
void PrintRatio(const std::string& name, double ratio, const std::string& note = "");
