// One record of the batch output file: the time stamp, the application, the group
// and a field for each attribute that takes a place in the row, each followed by a
// comma, and a line feed. The record is as long as its fields: none is cut.
#pragma once

#include <string>

struct SourceEntry;

namespace zevp {

// The record of the source's current values, in definition order (summary order
// for a summary row); the values are used up as they are written.
std::string FormatBatchRecord(SourceEntry* source, bool summaryRow);

}  // namespace zevp
