// The full name of a file of the SNMP collection.
#pragma once

#include <string>

namespace zevp {

// The name as it is when it holds a directory, else in the work directory; empty
// when it does not fit a file name.
std::string FullWorkFileName(const char* name);

}  // namespace zevp
