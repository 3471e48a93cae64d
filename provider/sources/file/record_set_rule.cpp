#include "record_set_rule.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "trc1.h"

TRC_UNIT();

namespace {

std::unique_ptr<RecordSetCompareRule> Refused() {
  TRC(TRC_ERROR, "*****File RECORDSET rule specification error");
  return nullptr;
}

// A decimal offset of at least 0 that fits a 32-bit number.
bool ReadOffset(const std::string& text, int32_t* offset) {
  size_t first = text.find_first_not_of(' ');
  size_t last = text.find_last_not_of(' ');
  if (first == std::string::npos) return false;
  std::string digits = text.substr(first, last - first + 1);
  if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
  *offset = static_cast<int32_t>(std::strtol(digits.c_str(), nullptr, 10));
  return true;
}

}  // namespace

std::unique_ptr<RecordSetCompareRule> ZEVP_FormatRecordSetRule(const char* text) {
  if (text == nullptr) return Refused();
  std::string rule = text;
  size_t open = rule.find('(');
  if (open == std::string::npos) return Refused();
  auto result = std::make_unique<RecordSetCompareRule>();
  std::string keyword = rule.substr(0, open);
  size_t start = keyword.find_first_not_of(' ');
  keyword = start == std::string::npos ? std::string() : keyword.substr(start);
  for (char& c : keyword) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (keyword.compare(0, 3, "NEW") == 0) {
    result->Type = ZEVP_RULE_NEW;
  } else if (keyword.compare(0, 3, "END") == 0) {
    result->Type = ZEVP_RULE_END;
  } else {
    return Refused();
  }
  size_t offsetEnd = rule.find(',', open + 1);
  if (offsetEnd == std::string::npos || !ReadOffset(rule.substr(open + 1, offsetEnd - open - 1), &result->Offset))
    return Refused();
  size_t operatorEnd = rule.find(',', offsetEnd + 1);
  if (operatorEnd == std::string::npos) return Refused();
  std::string compareOperator = rule.substr(offsetEnd + 1, operatorEnd - offsetEnd - 1);
  if (compareOperator.compare(0, 2, "==") == 0) {
    result->Operator = ZEVP_RULE_EQUAL;
  } else if (compareOperator.compare(0, 2, "!=") == 0) {
    result->Operator = ZEVP_RULE_NOT_EQUAL;
  } else {
    return Refused();
  }
  result->CompareText = rule.substr(operatorEnd + 1);
  if (result->CompareText.empty()) return Refused();
  TRC(TRC_DETAIL, "File RECORDSET rule is %d offset %d operator %d compare{%s}", result->Type, result->Offset,
      result->Operator, result->CompareText.c_str());
  return result;
}

namespace zevp {

bool RecordSetRuleMatches(const RecordSetCompareRule& rule, const char* line, size_t length) {
  size_t offset = static_cast<size_t>(rule.Offset);
  bool equal = length >= offset && length - offset >= rule.CompareText.size() &&
               std::memcmp(line + offset, rule.CompareText.data(), rule.CompareText.size()) == 0;
  return rule.Operator == ZEVP_RULE_EQUAL ? equal : !equal;
}

}  // namespace zevp
