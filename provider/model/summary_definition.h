// Completing the definition of a //SUMMARY group for its sources: which
// attributes a summary row holds, the inserted time stamp and display
// attributes, each source's own summary block and its summary order.
//
// A summary row holds the key attributes (SKEY= a number), the total attributes
// (SKEY=SUM), the inserted attributes and the formulas that use one of them;
// the others are not part of the row. The summary order, which is also the
// source's send order, is: the keys by their SKEY numbers, the three leading
// attributes (_Interval_Unit, _Interval, _Occurrences), the time stamp
// (_LocalTimeStamp or LocalTimeStamp), _Date_Time and _Interval_Unit_Name, the
// other attributes of the row whose names do not begin with '_', the totals.
#pragma once

struct AttributeEntry;
struct SourceEntry;
struct TableEntry;

// The summary head attributes that the parser puts first in a summary group.
constexpr const char* ZEVP_SUMMARY_HEAD[] = {"_Interval_Unit", "_Interval", "_Occurrences"};
constexpr const char* ZEVP_SUMMARY_HEAD_MAXIMUM = "99999999";
constexpr const char* ZEVP_SUMMARY_INTERVAL_HELP =
    "Dorvane Agent inserted attribute that shows the defined input data summarization interval in seconds.";
constexpr const char* ZEVP_SUMMARY_OCCURRENCES_HELP =
    "Dorvane Agent inserted attribute that shows the input data occurrences count per defined summarization "
    "interval.";

// Completes the group for every source that has no summary block yet (with
// addDisplay, adding _Date_Time and _Interval_Unit_Name); the group's attribute
// counts grow by the attributes added, once for the group. 1 when the group has
// no summary, else 0.
int ZEVP_CompleteSummaryTableDefinition(TableEntry* table, int addDisplay);

// The source's time stamp attribute (_LocalTimeStamp, else LocalTimeStamp), or null.
AttributeEntry* ZEVP_SummaryTimeStampAttribute(const SourceEntry* source);
