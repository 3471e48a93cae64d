// The lists and the domain records that the definition files share across an
// application's groups.
#include <algorithm>

#include "dch/channel_functions.h"
#include "help_text_walk.h"
#include "trc1.h"
#include "user_data_info.h"
#include "user_data_list.h"
#include "zev0/timestamp.h"

TRC_UNIT();

const char* userDataList::nameList(int listType, bool tableNames, std::string* text) {
  if (listType != 1 && listType != 2) {
    TRC(TRC_ERROR, "Error: Invalid listType of %d", listType);
    errors_ = 1;
    return nullptr;
  }
  if (ZEVA_GetLock(&lock_, this) != 0) {
    errors_ = 1;
    return nullptr;
  }
  text->clear();
  userDataListIterator walk(entries_);
  while (userDataListEntry* entry = walk.Next()) {
    if (listType == 2 && !entry->anyNumericalAttrs()) continue;
    if (tableNames) {
      text->append(entry->udi()->tableNameRR()).append(";");
    } else {
      if (!text->empty()) text->append(";");
      text->append(entry->attrGroup());
    }
  }
  ZEVA_ReleaseLock(&lock_, this);
  return text->c_str();
}

const char* userDataList::tableNameList(int listType) { return nameList(listType, true, &tableNameList_); }

const char* userDataList::attrGroupList(int listType) { return nameList(listType, false, &attrGroupList_); }

int userDataList::anyNumericalAttrs(const char* attrGroup) {
  if (ZEVA_GetLock(&lock_, this) != 0) return 0;
  bool found = false;
  userDataListIterator walk(entries_);
  while (!found && walk.Next() != nullptr) {
    userDataListEntry* entry = walk.Curr();
    found = (attrGroup == nullptr || std::string_view(attrGroup) == entry->attrGroup()) && entry->anyNumericalAttrs();
  }
  ZEVA_ReleaseLock(&lock_, this);
  return found ? 1 : 0;
}

// Every domain is recorded: domainSet bounds how many an application can have.
int userDataList::findDomain(std::string_view domainName) {
  if (std::find(domainsWritten_.begin(), domainsWritten_.end(), domainName) != domainsWritten_.end()) return 1;
  domainsWritten_.emplace_back(domainName);
  return 0;
}

bool userDataList::addDomain(std::string_view domainName) {
  std::string item = std::string(domainName) + ";";
  // Whole entries: D_S3 is not D_S32.
  if ((";" + domainSet_).find(";" + item) != std::string::npos) return true;
  if (domainSet_.size() + item.size() > kMaxDomainSet) {
    TRC(TRC_ERROR, "Error: (%d + %d) > %d)", static_cast<int>(domainSet_.size()), static_cast<int>(item.size()),
        static_cast<int>(kMaxDomainSet + 1));
    return false;
  }
  domainSet_ += item;
  return true;
}

std::string userDataList::objectName(const userDataListEntry& entry) const {
  return std::string(applName_) + entry.attrGroup() + RR_;
}

DefinitionFileHead userDataList::fileHead(const char* affinityName, const char* affinityString) const {
  char now[ZEV0_PLOVEN_TIME_LENGTH + 1];
  ZEV0_GetPlovenTime(now);
  return {now, applKey_, RR_, cvrm_, applNameRR_, std::string(ApplicationHelp(helpInfo_)), affinityName, affinityString};
}
