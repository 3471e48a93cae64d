#include "user_data_list.h"

#include <cstring>
#include <new>

#include "agent_limits.h"
#include "dch/channel_functions.h"
#include "definition_version.h"
#include "field_walk.h"
#include "fixed_text.h"
#include "trc1.h"
#include "user_data_info.h"
#include "zev/prodspec_items.h"
#include "zev0/prodspec.h"
#include "zev0/storage.h"
#include "zev0/text.h"
#include "zev0/threads.h"
#include "zev0/timestamp.h"

TRC_UNIT();

namespace {

constexpr size_t kMaxApplInfoRecord = 199;
constexpr char kWorkFilePrefix[] = "zevaw";

}  // namespace

userDataList::userDataList(const char* applName) {
  ZEV0_InitializeMutex(&lock_);
  bool locked = ZEVA_GetLock(&lock_, this) == 0;
  if (!locked) errors_ = 1;
  maxAttrGroups_ = Max_AttrGroup_Per_Appl();
  if (maxAttrGroups_ > kMaxAttrGroups) {
    TRC(TRC_ERROR, "Error: %d > %d", maxAttrGroups_, kMaxAttrGroups);
    errors_ = 1;
  } else {
    if (!checksumInfo_.allocate(static_cast<size_t>(maxAttrGroups_))) {
      TRC(TRC_ERROR, "Error: allocating %d bytes for _checksumInfo[%d]",
          static_cast<int>(maxAttrGroups_ * sizeof(checksumInfo)), maxAttrGroups_);
      errors_ = 1;
    }
  }
  if (!setNames(applName)) errors_ = 1;
  int mustWrite = 0;
  if (errors_ == 0) mustWrite = calculateChecksum();
  if (errors_ == 0) {
    std::snprintf(applNameRR_, sizeof applNameRR_, "%s%s", applName_, RR_);
    buildEntries();
  }
  if (errors_ == 0) buildAttributes();
  if (errors_ != 0)
    TRC(TRC_ERROR, "Errors encountered when building userDataList for application <%s>",
        applName != nullptr ? applName : "(null)");
  if (locked && ZEVA_ReleaseLock(&lock_, this) != 0) errors_ = 1;
  if (errors_ != 0) return;
  if (DV_Debug() == 1) printList();
  if (mustWrite != 0 && generateFiles(workFileName_) != 0) {
    TRC(TRC_ERROR, "Error: generateFiles failed.");
    errors_ = 1;
  }
}

// The application's names, its subnode affinity, time stamp and work file name.
bool userDataList::setNames(const char* applName) {
  if (applName == nullptr || !copyIfFits(applName_, applName)) {
    TRC(TRC_ERROR, "Error: applName <%s> missing or longer than %d", applName != nullptr ? applName : "(null)",
        static_cast<int>(kMaxApplName));
    return false;
  }
  subnodeAffinity_ = ZEV0_QueryProductSpec(ZEV2_SUBNODE_AFF_STRING);
  if (subnodeAffinity_ == nullptr) {
    TRC(TRC_ERROR, "Error: ZEV0_QueryProductSpec(ZEV2_SUBNODE_AFF_STRING) returned NULL.");
    return false;
  }
  ZEV0_GetPlovenTime(timeStamp_);
  copyIfFits(applNameRR_, applName_);
  std::snprintf(applKey_, sizeof applKey_, "%.3s", applName_);
  char workFile[sizeof kWorkFilePrefix + sizeof applKey_];
  std::snprintf(workFile, sizeof workFile, "%s%s", kWorkFilePrefix, applKey_);
  char* qualified = ZEV0_ConstructFullyQualifiedName(nullptr, workFile);
  bool named = qualified != nullptr && copyIfFits(workFileName_, qualified);
  if (!named) TRC(TRC_ERROR, "Error: Could not build fully qualified file name.");
  ZEV0_FreeStorage(&qualified);
  return named;
}

// One entry per record of the application information, in its order.
void userDataList::buildEntries() {
  FieldWalk records(applInfo_);
  std::string_view piece;
  records.next(',', &piece);
  int sets = 0;
  while (errors_ == 0 && records.next(':', &piece)) {
    if (piece.empty()) continue;
    if (piece.front() == ';') break;
    int status = addAttrGroup(piece);
    if (status != 0) {
      TRC(TRC_ERROR, "Error: addAttrGroup failed - status=%d", status);
      errors_ = 1;
    }
    ++sets;
  }
  TRC(TRC_DETAIL, "No more attribute groups.  %d set(s) processed.", sets);
}

// Each group's attribute text, with its help block (paired by position), to its entry.
void userDataList::buildAttributes() {
  FieldWalk help(helpInfo_);
  FieldWalk groups(attrInfo_);
  std::string_view piece, group;
  help.next(',', &piece);
  if (!groups.next(',', &group)) {
    TRC(TRC_ERROR, "Error: tokenizing <%s>", attrInfo_.c_str());
    errors_ = 1;
    return;
  }
  int sets = 0;
  while (errors_ == 0) {
    std::string_view attrText;
    groups.next(';', &attrText);
    std::optional<std::string_view> helpBlock;
    if (help.next(':', &piece))
      helpBlock = piece;
    else
      TRC(TRC_DETAIL, "Note, no attribute help available.");
    int status = addAttrInfo(group, attrText, helpBlock);
    if (status != 0) {
      TRC(TRC_ERROR, "Error: addAttrInfo failed - status=%d", status);
      errors_ = 1;
    }
    ++sets;
    if (!groups.next(',', &group)) {
      TRC(TRC_DETAIL, "No more attribute info sets. %d sets processed.", sets);
      break;
    }
  }
  // A group the attribute information left out would have a table without columns.
  userDataListIterator walk(entries_);
  while (errors_ == 0 && walk.Next() != nullptr) {
    if (walk.Curr()->udi()->columnsFilled()) continue;
    TRC(TRC_ERROR, "Error: no attribute info for attrGroup <%s>", walk.Curr()->attrGroup());
    errors_ = 1;
  }
}

userDataList::~userDataList() {
  emptyList();
  pthread_mutex_destroy(&lock_);
}

userDataListEntry* userDataList::findEntry(std::string_view attrGroup) const {
  userDataListIterator walk(entries_);
  while (userDataListEntry* entry = walk.Next())
    if (attrGroup == entry->attrGroup()) return entry;
  return nullptr;
}

int userDataList::addAttrGroup(std::string_view record) {
  if (record.size() > kMaxApplInfoRecord) {
    TRC(TRC_ERROR, "Error: length of attrGroupInfo %d > %d", static_cast<int>(record.size()),
        static_cast<int>(kMaxApplInfoRecord + 1));
    return 1;
  }
  std::string_view group = record.substr(0, record.find(','));
  if (findEntry(group) != nullptr) {
    TRC(TRC_ERROR, "Error: Found existing userDataListEntry<%.*s>", static_cast<int>(group.size()), group.data());
    return 1;
  }
  auto* entry = new (std::nothrow) userDataListEntry(applNameRR_, record, cvrm_, priorVRM_);
  if (entry == nullptr) {
    TRC(TRC_ERROR, "Error: allocating userDataListEntry[%s/%.*s]", applNameRR_, static_cast<int>(group.size()),
        group.data());
    return 1;
  }
  entries_.add(entry);
  // An entry in error has a table description that can be neither filled nor started.
  return entry->errors() != 0 ? 1 : 0;
}

int userDataList::addAttrInfo(std::string_view attrGroup, std::string_view attrText,
                              std::optional<std::string_view> helpBlock) {
  userDataListEntry* entry = findEntry(attrGroup);
  if (entry == nullptr) {
    TRC(TRC_ERROR, "Error: No match found for attrGroup <%.*s> attrInfo <%.*s>", static_cast<int>(attrGroup.size()),
        attrGroup.data(), static_cast<int>(attrText.size()), attrText.data());
    return 1;
  }
  return entry->addAttrInfo(attrText, helpBlock);
}

void userDataList::emptyList() {
  while (userDataListEntry* entry = entries_.head()) {
    entries_.remove(entry);
    delete entry;
  }
}

void userDataList::printList() {
  if (ZEVA_GetLock(&lock_, this) != 0) return;
  TRC1_Printf(&trcUnit_, __LINE__, "userDataList @%p  noOfElements=%d", static_cast<void*>(this), noOfElements());
  userDataListIterator walk(entries_);
  while (userDataListEntry* entry = walk.Next()) entry->printSelf();
  ZEVA_ReleaseLock(&lock_, this);
}

int userDataList::setTableName(std::string_view attrGroup) {
  if (ZEVA_GetLock(&lock_, this) != 0) return 0;
  userDataListEntry* entry = findEntry(attrGroup);
  if (entry != nullptr) copyIfFits(currTableName_, entry->udi()->tableNameRR());
  ZEVA_ReleaseLock(&lock_, this);
  if (entry == nullptr)
    TRC(TRC_ERROR, "Error: could not find userDataListEntry for <%.*s>", static_cast<int>(attrGroup.size()),
        attrGroup.data());
  return entry != nullptr ? 1 : 0;
}

void userDataList::incrementVersion(const char* oldVersion, char* newVersion, char changeType) {
  if (raiseVersion(oldVersion, newVersion, changeType) != 0) errors_ = 1;
}

const checksumInfo* userDataList::groupChecksum(int i) const {
  return i >= 0 && i < noOfAttrGroups_ ? &checksumInfo_[i] : nullptr;
}
