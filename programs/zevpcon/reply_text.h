// Reading a reply's text: its blank-separated tokens, and the lines that a SHOW
// reply's records print as.
#pragma once

#include <string>
#include <vector>

namespace zevpcon {

// The blank-separated tokens of the reply.
std::vector<std::string> ReplyTokens(const std::string& reply);

// The text from the start of the n-th token (counted from 0) to the end; empty
// when the reply has fewer tokens.
std::string TextFromToken(const std::string& reply, size_t n);

// The lines of SHOW records: fields separated by ';', each record a number and its
// values (0 metafile, 1 application, 2 group and its time-to-live, 3 source kind
// and name, 4 attribute name and type); a record of another number is skipped and
// values missing at the end print empty.
std::string ShowRecordLines(const std::string& records);

}  // namespace zevpcon
