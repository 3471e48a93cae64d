// What the agent told the framework about itself (internal to the framework).
#pragma once

#include <string>

#include "raf.h"

namespace raf {

RAF_AgentLoader CurrentAgentLoader();
// The callback registered under the pattern, or null.
RAF_CommandCallback CallbackFor(const std::string& pattern);
void ForgetIdentity();

}  // namespace raf
