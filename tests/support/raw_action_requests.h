// The action requests of a raw DCH peer, and the agent's action log as a data provider
// registers it, for the tests that route actions through the DCH server.
#pragma once

#include <cstdint>
#include <string>

#include "raw_dch_peer.h"

namespace rawdch {

// The action fields and requests, written out here on purpose.
constexpr uint16_t kActionType = 0x100;
constexpr uint16_t kActionName = 0x110;
constexpr uint16_t kActionID = 0x120;
constexpr uint16_t kActionParms = 0x130;
constexpr uint16_t kActionResult = 0x140;
constexpr uint16_t kActionOwner = 0x150;
constexpr uint16_t kWaitForAction = 0x1040;
constexpr uint16_t kActionResults = 0x1050;
constexpr uint16_t kProvideAction = 0x1060;
constexpr uint16_t kConsumerProvideAction = 0x2080;
constexpr uint16_t kWaitForActionResults = 0x2090;

std::string WaitForActionRequest(uint16_t actionType, const std::string& hostName);
// Without a result text when result is null.
std::string ActionResultsRequest(uint32_t actionID, uint32_t status, const std::string* result = nullptr);

// An action message (0x1060) that a parked data provider receives, texts in ASCII.
struct ActionMessage {
  bool valid = false;  // laid out as an action message
  uint16_t actionType = 0;
  std::string owner;
  std::string node;
  std::string name;
  uint32_t actionID = 0;
  bool hasParms = false;
  std::string parms;
};
ActionMessage ReadActionMessage(const std::string& message);

// The fields of a received action message as "type=value" pairs in their order (type in
// hex, texts back in ASCII, numbers in decimal); "" when it is none.
std::string DescribeActionMessage(const std::string& message);

// The agent's own application DVAGENT: a source of DPLOG online brings the action
// log's source of ACTION online.
extern const Group kDataProviderLogGroup;
extern const Group kActionLogGroup;

// Whether a status notice of that source coming online arrives at the peer in time.
bool HeardOnline(UdpPeer& sources, const std::string& sourceName, int waitMs);

}  // namespace rawdch
