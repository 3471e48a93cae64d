// The hidden help column that ends each table's section of the attribute (ATR) file: the
// application's help, then the group's help and each attribute's name and help, taken
// from the group's segment of the help text (help_text_walk.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Keyword lines "kkkk value", e.g. "vali ^APPLICATION", "vale "the help"".
std::string AttributeLine(const char* keyword, std::string_view value);

// The column's lines for the group at that position (1 for the first) of the object
// (application, group and release run together). A segment that is missing or ends early
// ends the column there, traced.
std::vector<std::string> AttributeHelpColumn(std::string_view helpText, int position, const std::string& object,
                                             const char* affinity);
