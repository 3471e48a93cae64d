// The conversions of the derived functions, each from its input to its result text.
#pragma once

#include <cstddef>
#include <string>

namespace zevp {

// The agent time stamp of a date and time text.
std::string PlovenTimeStampOf(const std::string& text);

// The host name of an address text (blanks and '/' in front skipped, a further
// '/' ends the address); the address itself when it has no name, the text when
// it is no address. Consecutive look-ups of one address ask the name service
// once: the last name found is kept, for every thread of the process.
std::string AddressToName(const std::string& text);

// "yyyy/mm/dd", with " hh:mm:ss" when the time of day is not 0, and a zone
// character with the hours of difference when the time carries one, from a
// NetWare time as hexadecimal text; only the pairs that the text holds are read.
std::string NetWareTimeText(const std::string& hex);

// The agent time stamp of a 32-bit count of seconds since 1970 in host byte
// order, in local time or GMT; false (nothing written) unless size is 4.
bool UTCTimeStamp(const char* bytes, size_t size, bool localTime, std::string* stamp);

}  // namespace zevp
