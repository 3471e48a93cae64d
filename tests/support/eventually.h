// Waiting in a test for something other threads or processes bring about.
#pragma once

#include <functional>

// Polls the condition every 10 ms until it holds or waitMs have passed; its last result.
bool Eventually(const std::function<bool()>& condition, int waitMs);
