// What taking rows into a summary array and sending its rows share: the end of
// an interval, whether the interval in hand is still open, and the walk of a
// source's attributes in summary order.
#pragma once

#include <cstdint>

struct AttributeEntry;
struct SourceEntry;
struct SummaryManagementBlock;

namespace zevp {

// The clock's seconds, by which the periodic task ages an interval.
int64_t SummaryClockSeconds();

// The end (seconds after midnight) of an interval that begins at `seconds` in
// `hour`: a day's ends at midnight; one of an hour or less after its length, but
// not past the end of the hour; longer ones keep `previous`.
int32_t SummaryIntervalEnd(const SummaryManagementBlock* block, int32_t hour, int32_t seconds, int32_t previous);

// The last row taken is on the interval's day and not past its end, and no end
// is asked for. The caller holds the block's lock.
bool SummaryIntervalOpen(const SummaryManagementBlock* block, const SourceEntry* source);

AttributeEntry* FirstInSummaryOrder(const SourceEntry* source);
AttributeEntry* NextInSummaryOrder(const SourceEntry* source, const AttributeEntry* attribute);

}  // namespace zevp
