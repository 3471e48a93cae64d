#include "ploven_agent_row.h"

#include <ctime>

#include "ploven_agent_entry.h"
#include "zev0/timestamp.h"

namespace zevs {

namespace {

// The display text of the time's agent time stamp, or the text for never.
std::string TimeText(time_t time, const char* never) {
  if (time == 0) return never;
  char stamp[ZEV0_PLOVEN_TIME_BLOCK_SIZE];
  char text[32];
  ZEV0_ConvertTimeToPlovenTime(&time, stamp);
  ZEV0_PlovenTimeToString(stamp, text);
  return text;
}

std::string Text(const char* text) { return text != nullptr ? text : ""; }

}  // namespace

std::array<std::string, kPlovenAgentColumns> PlovenAgentRowValues(const PlovenAgentEntry& entry) {
  return {Text(entry.managedSystemName), Text(entry.networkName),  Text(entry.networkAddress),
          Text(entry.productName),       Text(entry.productVersion), Text(entry.features),
          TimeText(entry.lastCheckTime, " "), TimeText(entry.lastReplyTime, "Initial Load")};
}

}  // namespace zevs
