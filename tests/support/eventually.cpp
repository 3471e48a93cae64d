#include "eventually.h"

#include <chrono>
#include <thread>

bool Eventually(const std::function<bool()>& condition, int waitMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}
