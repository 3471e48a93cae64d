#include "start_mode.h"

#include <atomic>

#include "zev0/prodspec.h"

namespace {

std::atomic<int32_t> IndependentDPstartMode{0};

}  // namespace

void ZEV0_SetDPstartMode(int32_t mode) { IndependentDPstartMode.store(mode); }

int32_t ZEV0_DPstartMode() { return IndependentDPstartMode.load(); }
