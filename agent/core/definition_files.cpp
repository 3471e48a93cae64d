// The definition-file pass over an application's groups, ending with its work file.
#include "agent_limits.h"
#include "definition_work_file.h"
#include "trc1.h"
#include "user_data_info.h"
#include "user_data_list.h"

TRC_UNIT();

namespace {

// The historical-data file has a head and a tail: 3 the only group, 1 the first of
// several, 2 the last of several, 0 one in between.
int sqlPortionMode(int position, int count) {
  if (count == 1) return 3;
  if (position == 1) return 1;
  return position == count ? 2 : 0;
}

}  // namespace

int userDataList::generateFiles(const char* workFileName) {
  errors_ = 0;
  std::snprintf(keyRR_, sizeof keyRR_, "%s%s", applKey_, RR_);
  int position = 0;
  userDataListIterator walk(entries_);
  while (errors_ == 0 && walk.Next() != nullptr) {
    userDataListEntry* entry = walk.Curr();
    int firstGroup = ++position == 1 ? 1 : 0;
    if (setTableName(entry->attrGroup()) == 0) {
      errors_ = 1;
      break;
    }
    TRC(TRC_DETAIL, "%d: Generating portions for table <%s>", position, currTableName_);
    if (generateCATfile(entry, firstGroup) != 0 || generateATRfile(entry, firstGroup, position) != 0 ||
        (generateSQL() == 'Y' && generateSQLfile(entry, sqlPortionMode(position, noOfElements())) != 0) ||
        (generateODI() == 'Y' &&
         (generateODIfile(entry, firstGroup, position) != 0 || generateJPFfile(entry, firstGroup) != 0)))
      errors_ = 1;
  }
  if (errors_ == 0)
    errors_ = static_cast<short>(writeDefinitionWorkFile(workFileName, cvrm_, checksumInfo_.data(), noOfAttrGroups_,
                                                         helpInfo_));
  return errors_;
}
