// One line of the table-manager registry's work file: "APPLICATION TABLE [SNMPFLAG]",
// separated by blanks (docs/table-manager-work-file.md).
#pragma once

#include <string>
#include <string_view>

struct tableManagerLine {
  std::string applName;
  std::string tableName;
  bool flagGiven = false;
  short SNMPflag = 0;
};

// False (traced) when the line lacks the application name or the table name.
bool parseTableManagerLine(std::string_view line, tableManagerLine* parsed);
