// The rows of a summary source: taken into its summary array as they pass the
// filters, and sent, once their interval has ended, as one row per distinct key
// with the number of rows and the totals.
//
// An interval starts with the first row (or the row that ended the one before)
// and runs, by the rows' own time stamps, until a row comes past its end or on
// another day, or until its end is asked for (EndBatchSummary: the source went
// offline, the rows stopped, the routing that fed it went offline). Rows and
// output hold the source's data lock and then the block's lock.
#pragma once

#include <cstdint>

struct AttributeEntry;
struct DCHcomm;
struct SourceEntry;
struct SummaryManagementBlock;

// Adds the source's current row to its array: its key values (a row without a
// value for a key is not taken) and totals, at the time of its time stamp
// attribute (the current time when that holds no valid stamp).
void ZEVP_UpdateSummaryDataArray(SourceEntry* source);

// 1 when rows may be sent: always for a source without summary; for a summary
// source once its interval has ended or its end is asked for; else 0.
int ZEVP_CheckDataSummaryReady(SourceEntry* source);

// For the periodic task: 1 when the source's interval holds rows, no end is asked
// yet, and it began (by the clock) longer than its interval ago, or, in batch
// mode, at least ageLimit seconds ago; the end is then asked for.
int ZEVP_SummaryIntervalEnded(SourceEntry* source, int64_t now, int64_t ageLimit);

// Sends the rows of the ended interval as data requests, one per key; then
// the next interval begins with the row that ended this one, or, at an asked
// end, the array is emptied. The DCH status is that of the first row that
// failed, else 0 (also when no row went).
void ZEVP_PerformDataSummaryOutput(SourceEntry* source, DCHcomm* comm);

// In batch mode, for a group without keys: a row with no occurrences for each
// slot of the interval's hour, day or month that had none.
void ZEVP_GenerateMissingSummaryIntervalOutput(SourceEntry* source, SummaryManagementBlock* block, DCHcomm* comm);

// The interval's name for the time stamp: the weekday (a day), "3 PM" (an
// hour), "5 Minute(s)", blanks (other intervals over an hour), "30 Seconds".
void ZEVP_LoadIntervalNameToAttr(const SummaryManagementBlock* block, AttributeEntry* attribute,
                                 const AttributeEntry* timeStamp);
