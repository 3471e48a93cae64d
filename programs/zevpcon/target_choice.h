// The operator's choice among the data providers found.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "console_transport.h"

namespace zevpcon {

// The line of a found data provider in the list: its number, its type's label
// (none for a type outside the label table) and its host.
std::string TargetLine(size_t number, const FoundDataProvider& found);

// Lists the data providers found (for SHUTDOWN with "00 All DPs" first) and reads
// numbers until one names an entry (0, all of them, only for SHUTDOWN), which
// becomes the selection. False at the end of input.
bool SetTargetDP(ConsoleTransport* transport, int32_t code, FILE* input);

}  // namespace zevpcon
