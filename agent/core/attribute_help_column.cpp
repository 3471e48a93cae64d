#include "attribute_help_column.h"

#include "help_text_walk.h"
#include "trc1.h"

TRC_UNIT();

namespace {

constexpr char kHelpColumn[] = "ZEVHELP";

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace

std::string AttributeLine(const char* keyword, std::string_view value) {
  return std::string(keyword) + " " + std::string(value);
}

std::vector<std::string> AttributeHelpColumn(std::string_view helpText, int position, const std::string& object,
                                             const char* affinity) {
  std::vector<std::string> lines{"//",
                                 "entr HIDDEN",
                                 "name " + object + "." + kHelpColumn,
                                 AttributeLine("affi", affinity),
                                 AttributeLine("colu", kHelpColumn),
                                 "type 3",
                                 "opgr 0",
                                 "cost 9",
                                 "vali ^APPLICATION",
                                 AttributeLine("vale", Quoted(ApplicationHelp(helpText)))};
  HelpSegment segment(helpText, position);
  std::string_view group, groupHelp;
  if (!segment.found() || !segment.next(&group) || !segment.next(&groupHelp)) {
    TRC(TRC_ERROR, "Warning: no help for attribute group %d of <%s>", position, object.c_str());
    return lines;
  }
  lines.push_back("vali ^ATTRGROUP[" + std::string(group) + "]");
  lines.push_back(AttributeLine("vale", Quoted(groupHelp)));
  std::string_view name, help, enumerations;
  while (segment.next(&name)) {
    if (!segment.next(&help)) {
      TRC(TRC_ERROR, "Warning: help of <%s> ends before the help of attribute <%.*s>", object.c_str(),
          static_cast<int>(name.size()), name.data());
      break;
    }
    lines.push_back(AttributeLine("vali", name));
    lines.push_back(AttributeLine("vale", Quoted(help)));
    if (!segment.next(&enumerations)) {
      TRC(TRC_ERROR, "Warning: help of <%s> ends before the enumerations of attribute <%.*s>", object.c_str(),
          static_cast<int>(name.size()), name.data());
      break;
    }
  }
  return lines;
}
