#include "situation_rule.h"

#include <cstdlib>
#include <cstring>

#include "attribute_column.h"
#include "trc1.h"

TRC_UNIT();

namespace {

constexpr char kColumnPrefix[] = "DV";

const char* operatorText(int comparison) {
  static const char* const kTexts[] = {"EQ", "NE", "GE", "LE", "LT", "GT"};
  return comparison >= 1 && comparison <= 6 ? kTexts[comparison - 1] : nullptr;
}

// The attribute column a column name such as "DV3" names, or 0.
int attributeColumnOf(const std::string& columnName, int lastColumn) {
  size_t prefix = std::strlen(kColumnPrefix);
  if (columnName.compare(0, prefix, kColumnPrefix) != 0) return 0;
  std::string digits = columnName.substr(prefix);
  if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
  int column = std::atoi(digits.c_str());
  return column >= 1 && column <= lastColumn ? column : 0;
}

}  // namespace

rulePredicate rulePredicateOf(const FLT1_FILTERINFO& filter) {
  rulePredicate predicate;
  predicate.columnName.assign(filter.columnName, strnlen(filter.columnName, sizeof filter.columnName));
  predicate.comparison = filter.comparisonOperator;
  predicate.functionType = filter.functionType;
  predicate.valueLength = filter.valueLength > 0 ? filter.valueLength : 0;
  if (filter.value != nullptr)
    predicate.value.assign(filter.value, strnlen(filter.value, static_cast<size_t>(predicate.valueLength)));
  return predicate;
}

int formatRuleAttributes(const userTableColumns& table, const std::vector<rulePredicate>& predicates,
                         std::string* attributes) {
  for (const rulePredicate& predicate : predicates) {
    if (predicate.columnName.compare(0, std::strlen(kColumnPrefix), kColumnPrefix) != 0) continue;
    if (predicate.functionType != 0) {
      TRC(TRC_DETAIL, "functionType<%d> ignored.", predicate.functionType);
      continue;
    }
    const char* oper = operatorText(predicate.comparison);
    if (oper == nullptr) {
      TRC(TRC_ERROR, "Error: Unrecognized triplet operator<%d>", predicate.comparison);
      return 1;
    }
    int columnNumber = attributeColumnOf(predicate.columnName, table.numColumns());
    if (columnNumber == 0) {
      TRC(TRC_ERROR, "Error: column <%s> is not an attribute of table <%s>: triplet ignored.",
          predicate.columnName.c_str(), table.tableName().c_str());
      continue;
    }
    const userTableColumn& column = *table.column(columnNumber);
    std::string value = predicate.value;
    if (column.type == kIntegerColumn) {
      value = std::to_string(std::atoi(value.c_str()));
    } else if (value.size() < static_cast<size_t>(predicate.valueLength)) {
      value.resize(static_cast<size_t>(predicate.valueLength), ' ');
    }
    *attributes += "(" + column.attrName + " " + oper + " " + value + ") ";
  }
  return 0;
}

bool formatRuleStartParameters(int interval, const userTableColumns& table, const std::string& attributes,
                               size_t maxAttributesLength, size_t maxLength, std::string* parameters) {
  std::string list = attributes;
  if (!list.empty() && list.back() == ' ') list.pop_back();
  if (list.size() > maxAttributesLength) {
    TRC(TRC_ERROR, "Error: attribute list of %zu characters > %zu for table <%s>", list.size(), maxAttributesLength,
        table.tableName().c_str());
    return false;
  }
  std::string text = "INTERVAL=" + std::to_string(interval) + " APPLNAME=" + table.applName() +
                     " ATTRGROUP=" + table.attrGroup() + " ATTRIBUTES=" + list;
  if (text.size() > maxLength) {
    TRC(TRC_ERROR, "Error: RULESTART parameters of %zu characters > %zu for table <%s>", text.size(), maxLength,
        table.tableName().c_str());
    return false;
  }
  *parameters = std::move(text);
  return true;
}
