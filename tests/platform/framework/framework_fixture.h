// A fresh framework stand-in per test, with the demo table registered.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "raf_demo_table.h"
#include "raf_driver.h"

class FrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    manager_ = std::make_unique<rafdemo::DemoManager>();
    ASSERT_EQ(manager_->RegisterWithManager(), 0);
  }
  void TearDown() override {
    raf::Reset();
    rafdemo::TakeSeenCommands();
  }

  // A demand request of the demo table for the subnodes.
  static raf::RequestSpec demoSpec(const std::vector<std::string>& subnodes = {"host1"}) {
    raf::RequestSpec spec;
    spec.application = rafdemo::kApplication;
    spec.table = rafdemo::kTable;
    spec.subnodes = subnodes;
    return spec;
  }

  // Reset has ended every request before the manager goes.
  std::unique_ptr<rafdemo::DemoManager> manager_;
};
