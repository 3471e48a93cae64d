#include "internal/failures.h"

#include <map>
#include <mutex>

namespace {

std::mutex failuresLock;
std::map<raf::Failure, int> pending;

}  // namespace

namespace raf {

void InjectFailure(Failure call, int times) {
  std::lock_guard<std::mutex> guard(failuresLock);
  pending[call] += times > 0 ? times : 0;
}

bool FailureDue(Failure call) {
  std::lock_guard<std::mutex> guard(failuresLock);
  auto due = pending.find(call);
  if (due == pending.end() || due->second == 0) return false;
  --due->second;
  return true;
}

void ForgetFailures() {
  std::lock_guard<std::mutex> guard(failuresLock);
  pending.clear();
}

}  // namespace raf
