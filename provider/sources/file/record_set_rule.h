// The compare rule of a //RECORDSET statement: a line that matches it begins
// (NEW) or ends (END) a record of several lines. Written as
// keyword(offset,operator,compare text, e.g. NEW(0,==,BEGIN.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

enum RecordSetRuleType : int32_t { ZEVP_RULE_NEW = 1, ZEVP_RULE_END = 2 };
enum RecordSetRuleOperator : int32_t { ZEVP_RULE_EQUAL = 1, ZEVP_RULE_NOT_EQUAL = 2 };

// One per reading of a group that has a rule; it carries state from one record
// to the next within one pass.
struct RecordSetCompareRule {
  bool HasPendingLine = false;  // a line already read that begins the next record (NEW)
  std::string PendingLine;
  int32_t EndOfFile = 0;  // 1 once a read reached the end of the file; cleared at each pass
  int32_t Type = 0;       // RecordSetRuleType
  int32_t Offset = 0;     // column where the compare starts, 0 the first character
  int32_t Operator = 0;   // RecordSetRuleOperator
  std::string CompareText;
};

// The rule of the text, or null, after the RECORDSET rule error trace, when the
// text is wrong.
std::unique_ptr<RecordSetCompareRule> ZEVP_FormatRecordSetRule(const char* text);

namespace zevp {

// Whether the line (length characters) matches the rule: the compare text at the
// rule's offset is equal (==) or different (!=). A line too short to hold it there
// is different.
bool RecordSetRuleMatches(const RecordSetCompareRule& rule, const char* line, size_t length);

}  // namespace zevp
