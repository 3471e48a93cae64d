// The parameters of the RULESTART action by which a polled situation on a user table
// hands its predicate to the data providers:
//   INTERVAL=<seconds> APPLNAME=<application> ATTRGROUP=<group> ATTRIBUTES=<list>
// where the list holds one "(NAME OP VALUE)" per predicate on an attribute column,
// separated by blanks: OP is EQ, NE, GE, LE, LT or GT; an integer attribute's value is
// its number, any other the value text.
#pragma once

#include <string>
#include <vector>

#include "flt1.h"
#include "user_table_columns.h"

// One predicate as the framework's filter record gives it, its value copied.
struct rulePredicate {
  std::string columnName;
  int comparison = 0;
  int functionType = 0;
  std::string value;  // at most the record's value length, up to a NUL
  int valueLength = 0;
};

// The predicate of a filter record (which it does not keep).
rulePredicate rulePredicateOf(const FLT1_FILTERINFO& filter);

// Appends the predicates on columns 1 to n of the table to the attribute list; predicates
// on other columns, or with a function, are left out (traced). 0, or 1 (traced) for an
// operator it does not know.
int formatRuleAttributes(const userTableColumns& table, const std::vector<rulePredicate>& predicates,
                         std::string* attributes);

// The whole parameter text. False (traced) when it passes maxLength characters or the
// attribute list passes maxAttributesLength.
bool formatRuleStartParameters(int interval, const userTableColumns& table, const std::string& attributes,
                               size_t maxAttributesLength, size_t maxLength, std::string* parameters);
