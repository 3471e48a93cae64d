// Registration of a data provider's application (0x1010): its groups go into the
// store, with the application, attribute and help texts consumers ask for.
#include <algorithm>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "appl_space_list.h"
#include "dch/channel_functions.h"
#include "dch_server.h"
#include "field_reading.h"
#include "registration_texts.h"
#include "request_fields.h"
#include "trc1.h"
#include "zev/prodspec_items.h"
#include "zev0/prodspec.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

constexpr size_t kMaxHelp = 245;
constexpr char kNoApplicationHelp[] = "No Application Help Defined";
constexpr char kNoGroupHelp[] = "No attribute group Help Defined";

// Upper case, and '_' for every character a name may not have.
bool normaliseName(char* name) {
  if (!upperCaseName(name)) return false;
  ZEV0_SubValidNameCharacter(name);
  return true;
}

// At most 245 characters, the separators of the texts blanked; `none` for an empty one.
std::string helpText(const char* value, uint32_t length, const char* none) {
  std::string help = fieldText(value, std::min<uint32_t>(length, kMaxHelp));
  if (help.empty()) return none;
  ZEVA_validateHelpText(help.data());
  return help;
}

// A packaged product registers as many groups as its applications have.
bool groupLimitApplies() {
  const char* packaged = ZEV0_QueryProductSpec(ZEV2_PACKAGED_PRODUCT);
  return packaged == nullptr || packaged[0] != 'Y';
}

// One attribute group as the request gives it.
struct GroupFields {
  char name[kAttrGroupHolder] = {};
  std::string help;
  char sampleType = '\0';
  int32_t TTL = 0;
  std::string attrRegister;
};

// One registration request, read field by field and taken into the store.
class Registration {
 public:
  Registration(applSpaceList& store, int maxGroups, unsigned int connectedDP)
      : store_(store), maxGroups_(maxGroups), connectedDP_(connectedDP) {}

  // The status of the request: 0, 1, 6 or -1.
  int run(char* message);

 private:
  int readHead(DataFieldReader& fields);
  int registerGroups(DataFieldReader& fields);
  int registerGroup(DataFieldReader& fields, const char* groupName, uint32_t groupLength);
  int readGroupFields(DataFieldReader& fields, GroupFields* group);
  int allocateGroup(const GroupFields& group);
  int addTexts(const GroupFields& group);
  void noteListsBefore();
  void withdraw();

  applSpaceList& store_;
  int maxGroups_;
  unsigned int connectedDP_;
  char applName_[kApplNameHolder] = {};
  std::string applHelp_;
  std::optional<RegistrationTexts> texts_;
  std::set<std::string> groupsTaken_;
  bool duplicate_ = false;
  // What the store held of the application before this request: a refused request
  // takes out what it added.
  bool existedBefore_ = false;
  std::vector<uint32_t> handlesBefore_;
};

int Registration::run(char* message) {
  DataFieldReader fields = requestFields(message);
  int status = readHead(fields);
  if (status != 0) return status;
  noteListsBefore();
  texts_.emplace(applName_, applHelp_.c_str());
  status = registerGroups(fields);
  if (status == 0) {
    texts_->close();
    status =
        store_.setApplInfo(applName_, texts_->applInfo().c_str(), texts_->attrInfo().c_str(), texts_->help().c_str());
  }
  if (status != 0) withdraw();
  if (duplicate_) status = 1;
  if (status == 0) TRC(TRC_ERROR, "Application <%s> successfully registered", applName_);
  return status;
}

int Registration::readHead(DataFieldReader& fields) {
  char* value;
  uint32_t length;
  if (fields.next(&value, &length) != DCH_applName) {
    TRC(TRC_ERROR, "Error: dataType of DCH_applName missing");
    return -1;
  }
  if (!takeApplName(value, length, applName_) || !normaliseName(applName_)) return -1;
  if (fields.next(&value, &length) != DCH_helpText) {
    TRC(TRC_ERROR, "Error: dataType of DCH_helpText missing");
    return -1;
  }
  applHelp_ = helpText(value, length, kNoApplicationHelp);
  return 0;
}

// Any field other than a group ends the groups: normally the end of the message.
int Registration::registerGroups(DataFieldReader& fields) {
  bool limited = groupLimitApplies();
  int status = 0;
  for (int count = 1; status == 0; ++count) {
    char* value;
    uint32_t length;
    if (fields.next(&value, &length) != DCH_attrGroup) break;
    if (limited && count > maxGroups_) {
      TRC(TRC_ERROR,
          "Error: Maximum of %d attribute groups per application exceeded. Application <%s> failed to register ",
          maxGroups_, applName_);
      return -1;
    }
    status = registerGroup(fields, value, length);
  }
  return status;
}

int Registration::registerGroup(DataFieldReader& fields, const char* groupName, uint32_t groupLength) {
  GroupFields group;
  if (!takeAttrGroup(groupName, groupLength, group.name) || !normaliseName(group.name)) return -1;
  if (!groupsTaken_.insert(group.name).second) {
    TRC(TRC_ERROR, "Error: application<%s> attrGroup<%s> appears more than once in <%s> ", applName_, group.name,
        applName_);
    return 6;
  }
  int status = readGroupFields(fields, &group);
  if (status == 0) status = allocateGroup(group);
  if (status == 0) status = addTexts(group);
  return status;
}

int Registration::readGroupFields(DataFieldReader& fields, GroupFields* group) {
  char* value;
  uint32_t length;
  if (fields.next(&value, &length) != DCH_helpText) {
    TRC(TRC_ERROR, "Error: dataType of DCH_helpText missing");
    return -1;
  }
  group->help = helpText(value, length, kNoGroupHelp);
  if (fields.next(&value, &length) != DCH_attributesType || length != 1) {
    TRC(TRC_ERROR, "Error: dataType of DCH_attributesType missing");
    return -1;
  }
  group->sampleType = value[0];
  uint32_t TTL = 0;
  if (fields.next(&value, &length) != DCH_TTL) {
    TRC(TRC_ERROR, "Error: dataType of DCH_TTL missing");
    return -1;
  }
  if (!DCH_NumberValue(value, length, 4, "DCH_TTL", &TTL)) return -1;
  group->TTL = static_cast<int32_t>(TTL);
  if (fields.next(&value, &length) != DCH_attrRegister) {
    TRC(TRC_ERROR, "Error: dataType of DCH_attrRegister missing");
    return -1;
  }
  group->attrRegister = fieldText(value, length);
  return 0;
}

// The first group of the request may create the application; the store keeps an
// application whose first group it refused, without any group.
int Registration::allocateGroup(const GroupFields& group) {
  bool initGroup = groupsTaken_.size() == 1;
  int result = store_.allocApplicationSpace(applName_, group.name, group.sampleType, group.TTL,
                                            group.attrRegister.c_str(), initGroup ? 1 : 0, connectedDP_);
  if (result == 0 && initGroup && store_.searchApplSpace(applName_)->noOfElements() == 0) result = -1;
  if (result == -1) {
    TRC(TRC_ERROR, "Error: allocating application space. applName: <%s> attrGroup: <%s>", applName_, group.name);
    return -1;
  }
  if (result == 1) {
    duplicate_ = true;
    if (std::strcmp(applName_, DCH_ACTION_LOG_APPLICATION) != 0)
      TRC(TRC_ERROR, "Warning: Duplicate application space. applName: <%s> attrGroup: <%s>", applName_, group.name);
  }
  return 0;
}

int Registration::addTexts(const GroupFields& group) {
  char* attributeHelp = nullptr;
  if (store_.getAttributeHelp(applName_, group.name, &attributeHelp) != 0 || attributeHelp == nullptr) {
    TRC(TRC_ERROR, "Error: getAttributeHelp<%s/%s> failed.", applName_, group.name);
    return -1;
  }
  RegisteredGroup texts{group.name, group.help.c_str(),         group.sampleType,
                        group.TTL,  group.attrRegister.c_str(), attributeHelp};
  bool added = texts_->addGroup(texts);
  ZEV0_FreeStorage(&attributeHelp);
  return added ? 0 : -1;
}

void Registration::noteListsBefore() {
  applSpaceEntry* application = store_.searchApplSpace(applName_);
  existedBefore_ = application != nullptr;
  if (!existedBefore_) return;
  applSpaceEntryIterator walk(application->lists());
  while (attrInfoList* list = walk.Next()) handlesBefore_.push_back(list->handle());
}

// A refused registration leaves no trace: groups kept from it would make the next
// registration of the application answer that it is registered already.
void Registration::withdraw() {
  applSpaceEntry* application = store_.searchApplSpace(applName_);
  if (application == nullptr) return;
  if (!existedBefore_) {
    store_.freeApplicationSpace(applName_);
    return;
  }
  std::vector<attrInfoList*> added;
  applSpaceEntryIterator walk(application->lists());
  while (attrInfoList* list = walk.Next())
    if (std::find(handlesBefore_.begin(), handlesBefore_.end(), list->handle()) == handlesBefore_.end())
      added.push_back(list);
  for (attrInfoList* list : added) application->freeAttrInfoList(list);
}

}  // namespace

int DCHserver::dp_register(int totalLength, char* message) {
  TRC(TRC_DETAIL, "dp_register: request of %d bytes", totalLength);
  int status = Registration(*_buckets, _maxAttrGroupPerAppl, _requester.connectedSockFD).run(message);
  if (status == 0 && DV_Debug() == 1) _buckets->printList();
  return status;
}
