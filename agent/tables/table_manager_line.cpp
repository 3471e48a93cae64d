#include "table_manager_line.h"

#include <cstdlib>

#include "field_walk.h"
#include "trc1.h"

TRC_UNIT();

bool parseTableManagerLine(std::string_view line, tableManagerLine* parsed) {
  std::string_view rest = line, applName, tableName, flag;
  if (!nextBlankToken(&rest, &applName)) {
    TRC(TRC_ERROR, "Error: fileBuf [%.*s] record in table manager file is missing applName.",
        static_cast<int>(line.size()), line.data());
    return false;
  }
  parsed->applName.assign(applName);
  if (!nextBlankToken(&rest, &tableName)) {
    TRC(TRC_ERROR, "Error: applName [%s] missing tableName.", parsed->applName.c_str());
    return false;
  }
  parsed->tableName.assign(tableName);
  parsed->flagGiven = nextBlankToken(&rest, &flag);
  if (parsed->flagGiven) parsed->SNMPflag = static_cast<short>(std::strtol(std::string(flag).c_str(), nullptr, 10));
  return true;
}
