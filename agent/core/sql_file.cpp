// The historical-data SQL file: per table the statements that define and remove its
// historical-data situation; once, the title (first group) and the status section with
// every table of the application (last group). The texts ${1}, ${2} and ${INTERVAL} are
// for the management server to fill in.
#include <string>
#include <vector>

#include "definition_file.h"
#include "field_walk.h"
#include "trc1.h"
#include "user_data_list.h"

TRC_UNIT();

namespace {

// Modes: 3 the only group, 1 the first of several, 2 the last of several, 0 in between.
bool opensTheFile(int mode) { return mode == 1 || mode == 3; }
bool closesTheFile(int mode) { return mode == 2 || mode == 3; }

}  // namespace

int userDataList::generateSQLfile(userDataListEntry* entry, int mode) {
  DefinitionFile file;
  if (!file.openSQL(applKey_, RR_, mode, opensTheFile(mode) ? "w" : "a")) return 1;
  const std::string object = objectName(*entry);
  const std::string rule = std::string(keyRR_) + "." + currTableName_;
  const std::string situation = std::string("DVADVISOR_") + keyRR_ + "_" + currTableName_;
  bool failed = false;
  std::string select = "'SELECT %s";
  if (const char* columns = entry->columnList(1)) {
    std::string names = columns;
    if (!names.empty()) names.pop_back();
    select = "'SELECT " + names;
  } else {
    TRC(TRC_ERROR, "Error: columnList() failed. SQL invalid with modifications.");
    failed = true;
  }
  std::vector<std::string> lines;
  if (opensTheFile(mode))
    lines.push_back(std::string("*** \"Dorvane Agent Historical SQL for Application ") + applKey_ + RR_ + "\"");
  lines.insert(lines.end(),
               {"*** " + object, "*** Dummy Situation",
                "INSERT INTO Q7SRV.TSITDESC (AFFINITIES, AUTOSTART, HUB, LSTCCSID,",
                "LSTDATE, LSTRELEASE, LSTUSRPRF, PDT, QIBSCOPE, REEV_DAYS, REEV_TIME,",
                "SITNAME, TEXT) VALUES(\"   \", \"*SYN\", \" \", \"65535\", \"9999999999999\", \"1.0\", \"SYSADMIN\",  ",
                "\"*IF *VALUE " + object + ".Node_Name *GE ' '\", \"I\", \"00\",",
                "\"00${1}00\", \"" + situation + "\", \"Dorvane Agent " + object + " Historical Data\"); ",
                "*** Start", "INSERT INTO Q7SRV.SITDB (RULENAME,PREDICATE) VALUES (\"" + rule + "\", ", select,
                "FROM " + rule + " WHERE SYSTEM.PARMA(\"HISTORY\",\"${2}\",3) AND ",
                "SYSTEM.PARMA(\"INTERVAL\",\"${INTERVAL}000\",10) AND ", "SYSTEM.PARMA(\"NODELIST\",\"*ALL\",4);');",
                "*** Stop1", "DELETE FROM Q7SRV.TSITDESC WHERE SITNAME = \"" + situation + "\";", "*** Stop2",
                "DELETE FROM Q7SRV.SITDB WHERE RULENAME = \"" + rule + "\";", "*** End"});
  if (closesTheFile(mode)) {
    lines.insert(lines.end(), {"*** Status",
                               std::string("SELECT RULENAME, PREDICATE FROM Q7SRV.SITDB WHERE RULENAME LIKE \"") +
                                   keyRR_ + ".*\";",
                               "*** End", "*** Default"});
    const char* tables = failed ? nullptr : tableNameList(1);
    if (tables != nullptr) {
      FieldWalk names(tables);
      std::string_view table;
      while (names.next(';', &table)) lines.emplace_back(table);
      lines.emplace_back("*** End");
    } else if (!failed) {
      TRC(TRC_ERROR, "Error: tableNameList() failed. SQL invalid.");
      failed = true;
    }
  }
  for (const std::string& line : lines)
    if (!file.writeLine(line)) return 1;
  return file.close() && !failed ? 0 : 1;
}
