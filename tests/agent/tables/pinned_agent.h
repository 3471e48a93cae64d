// The user-table agent of an open request of the framework stand-in, for a test to look
// into: pinned while the body runs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "pxraf.h"
#include "zev_dorvan_agent.h"

inline void WithAgent(uint32_t handle, const std::function<void(zev_dorvan_agent&)>& body) {
  Pxraf* pinned = Pxraf::UseHandle(handle);
  ASSERT_NE(pinned, nullptr) << "request " << handle << " has ended";
  auto* agent = dynamic_cast<zev_dorvan_agent*>(pinned);
  if (agent != nullptr) body(*agent);
  pinned->Drop();
  EXPECT_NE(agent, nullptr) << "request " << handle << " is not a user-table agent";
}
