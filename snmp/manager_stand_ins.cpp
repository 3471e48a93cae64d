#include "manager_stand_ins.h"

#include <atomic>
#include <cstdint>

namespace zevs::standin {

void* ListenPlovenAgentReply(void* listenPort) {
  static_cast<std::atomic<int32_t>*>(listenPort)->store(-1);
  return nullptr;
}

}  // namespace zevs::standin
