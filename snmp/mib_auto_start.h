// The MIB collection auto-start of the data-provider core for a host that came
// online, from the host's name and enterprise object identifier.
#pragma once

struct DPAB;

namespace zevs {

void AutoStartMIBcollection(DPAB* anchor, char* name, char* enterpriseOID);

}  // namespace zevs
