// The network-name file (docs/network-name-file.md, product item 28, default name
// ZEVSNAME): the symbolic names of networks. Lines of a network address, which may
// leave out trailing parts ("10", "10.1.2"), and a name; the list keeps file order.
#pragma once

#include <cstdint>
#include <string>

struct DPAB;

// (Re)loads the file: 1 when the list holds a name afterwards, else 0. Without the
// item nothing is loaded (0); a missing file keeps the list as it was.
int ZEVP_LoadSNMPNetworkName();
// Empties the list.
void ZEVP_FreeSNMPNetworkNameList();
// A copy of the first name configured for the network address (network byte order),
// in a new block that the caller frees; null when none is.
char* ZEVP_LocateSNMPnetworkSymbolicName(uint32_t networkAddress);
// A copy of the padded address text of the first network named exactly so (case
// counts), in a new block that the caller frees; null when none is.
char* ZEVP_LocateNetworkBySymbolicName(const char* symbolicName);
// After a reload: every network that the SNMP manager knows takes the name the list
// gives it now (none when it gives none).
void ZEVP_UpdateMonitorNetworkSymbolicName(DPAB* anchor);

namespace zevp {

// The longest padded address text a line may give.
constexpr size_t kNetworkNameKeyMax = 31;

// The four-part text of a network key ("10" -> "10.0.0.0", "10.1.2" -> "10.1.2.0")
// and its address; false when the key is no address: not digit-led, more than four
// parts, the lone number 0, a part above 255, or a padded text over 31 characters.
bool PadNetworkKey(const std::string& key, std::string* padded, uint32_t* address);

}  // namespace zevp
