// The Internet service provider's name that every Managed_URL row carries: the
// setting ZEVP_URL_ISP_NAME, else the first word of the ISP file, else "LAN".
#pragma once

#include <string>

namespace zevp {

// The name from ZEVP_URL_ISP_NAME or from the first line of the ISP file
// (ZEVP_URL_ISP_FILE_NAME, default ISP.ID, in the work directory); at most 64
// characters.
std::string DetermineISPname();

// The ISP name that a first line of the ISP file gives (the line as read, at most
// 64 characters, its line end included or not): its first blank-delimited word;
// empty when it has none.
std::string ISPnameFromFirstLine(const std::string& line);

}  // namespace zevp
