// The subnode under which the agent's action table serves a subnode of the data
// providers' log application: a request names "<host><type>dp:DVAGENT<RR>" (the source
// name of the log ends with the data provider's four-letter type), and the action table's
// rows come from "<host>ACT:DVAGENT<RR>".
#pragma once

#include <string>

// The served name; the name unchanged when it does not hold "dp:DVAGENT" after at least
// four characters.
std::string actionTableSubnode(const std::string& requested);
