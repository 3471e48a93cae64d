// DV_Action end to end: the framework stand-in in this process fires commands on the
// demo table (or as a policy), the agent's DCH server runs in its host program, and a
// data provider parked for automation actions is a raw peer. The sample registry holds
// a registered subnode of the demo table, as the status monitor leaves it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dch_road_fixture.h"
#include "raf_demo_table.h"
#include "raf_driver.h"
#include "raw_dch_peer.h"
#include "samples_list.h"

// An action message as the parked data provider received it: its fields in order
// without the action number, and the number apart.
struct ReceivedAction {
  std::string fields;
  uint32_t actionID = 0;
};

class ActionDispatchTest : public DCHroadTest {
 protected:
  // The data provider's host: the source name of the registered subnode.
  static constexpr char kSource[] = "src1";
  static constexpr char kSubnode[] = "src1:DEMOAPP00";
  static constexpr char kUntouchedSubnode[] = "src1:DEMOAPPGRP00";

  void SetUp() override;
  void TearDown() override;

  // A situation's command on a request of the table (the demo table unless another of
  // the same layout is named), fired with the row.
  raf::CommandOutcome fireSituation(const std::string& situation, int interval, const std::string& command,
                                    const std::string& row, const char* table = rafdemo::kTable);
  // The next action at the parked data provider; fields empty when none came.
  ReceivedAction nextAction(int waitMs = kAnswerWaitMs);

  std::unique_ptr<rawdch::TcpPeer> provider_;

 private:
  std::vector<std::unique_ptr<rafdemo::DemoManager>> managers_;
  samplesList registry_;
};
