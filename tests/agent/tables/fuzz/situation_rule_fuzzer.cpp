// libFuzzer harness of the predicates a request hands the agent, as a situation's rule
// takes them. Each input line is one filter record: column name, comparison operator,
// function type and value length, separated by blanks, then a blank and the value bytes.
// Whatever the records hold, the rule has an entry when a predicate names an attribute column
// by its value and none otherwise, and the parameters never pass their bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "situation_rule.h"

namespace {

constexpr size_t kMaxParameters = 1024;
constexpr size_t kMaxAttributes = 700;

const userTableColumns& Table() {
  static const userTableColumns table({{"ORIGINNODE", "Node_Name", 2, 32, 0},
                                       {"DV1", "Name", 2, 8, 32},
                                       {"DV2", "Small", 1, 2, 40},
                                       {"DV3", "Count", 1, 4, 42},
                                       {"DV4", "State", 5, 4, 46}},
                                      50, "MYAPP", "PGRP", "MYA1234500");
  return table;
}

// Whether a predicate names an attribute column of the table (DV and a number from 1 to 4)
// by its plain value.
bool onAnAttribute(const rulePredicate& predicate) {
  const std::string& name = predicate.columnName;
  if (predicate.functionType != 0 || name.compare(0, 2, "DV") != 0 || name.size() == 2 || name.size() > 7 ||
      name.find_first_not_of("0123456789", 2) != std::string::npos)
    return false;
  int column = std::atoi(name.c_str() + 2);
  return column >= 1 && column <= 4;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> values;
  std::vector<FLT1_FILTERINFO> filters;
  std::istringstream lines(input);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string column;
    int comparison = 0, function = 0, length = 0;
    if (!(fields >> column >> comparison >> function >> length)) continue;
    std::string value;
    std::getline(fields, value);
    values.push_back(value);
    FLT1_FILTERINFO filter{};
    std::snprintf(filter.columnName, sizeof filter.columnName, "%s", column.c_str());
    filter.comparisonOperator = static_cast<int16_t>(comparison);
    filter.functionType = function;
    filter.valueLength = static_cast<int16_t>(length);
    filters.push_back(filter);
  }
  std::vector<rulePredicate> predicates;
  for (size_t i = 0; i < filters.size(); ++i) {
    filters[i].value = values[i].c_str();
    predicates.push_back(rulePredicateOf(filters[i]));
  }
  std::string attributes;
  if (formatRuleAttributes(Table(), predicates, &attributes) != 0) return 0;
  std::string parameters;
  if (!formatRuleStartParameters(60, Table(), attributes, kMaxAttributes, kMaxParameters, &parameters)) return 0;
  bool anyAttribute = false;
  for (const rulePredicate& predicate : predicates) anyAttribute = anyAttribute || onAnAttribute(predicate);
  if (parameters.size() > kMaxParameters || attributes.empty() == anyAttribute) __builtin_trap();
  return 0;
}
