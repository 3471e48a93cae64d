// The data providers' requests on their sources: online (0x1015), data (0x1030),
// offline (0x1025), and unregistering an application (0x1020).
#include <cstring>
#include <string>

#include "appl_space_list.h"
#include "dc_waiting_list.h"
#include "dch/channel_functions.h"
#include "dch_server.h"
#include "field_reading.h"
#include "request_fields.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr size_t kMaxAttrName = 201;
// A wait-on-data waiter found behind this many others moves to the head of the list.
constexpr int kWaitersBeforeMoveToHead = 20;
// The type letters under which an attribute takes values.
constexpr char kValueTypes[] = "ACDGIKLNORST";

// At most the last 32 characters.
std::string boundedSourceName(std::string name) {
  if (name.size() <= DCH_MAX_SOURCE_NAME) return name;
  TRC(TRC_ERROR, "Warning: SourceName <%s> length=%d > max length=%d -> truncating", name.c_str(),
      static_cast<int>(name.size()), static_cast<int>(DCH_MAX_SOURCE_NAME));
  name.erase(0, name.size() - DCH_MAX_SOURCE_NAME);
  TRC(TRC_ERROR, "Warning: SourceName now equals <%s>", name.c_str());
  return name;
}

// The request's source name: a host name without its domain. Without the field,
// the sender's name from the ring.
std::string onlineSourceName(DataFieldReader& fields, const char* clientName) {
  char* value;
  uint32_t length;
  if (fields.next(&value, &length) != DCH_sourceName) {
    TRC(TRC_DETAIL, "DCH_sourceName missing. Using default.");
    return boundedSourceName(clientName != nullptr ? clientName : "");
  }
  std::string name = fieldText(value, length);
  return boundedSourceName(name.substr(0, name.find('.')));
}

// Reads the application name (3 to 20 characters) and upper-cases it.
bool readApplName(DataFieldReader& fields, char (&applName)[kApplNameHolder]) {
  char* value;
  uint32_t length;
  if (fields.next(&value, &length) != DCH_applName) {
    TRC(TRC_ERROR, "Error: dataType of DCH_applName missing");
    return false;
  }
  return takeApplName(value, length, applName) && upperCaseName(applName);
}

bool readHandle(DataFieldReader& fields, uint32_t* handle) {
  char* value;
  uint32_t length;
  if (fields.next(&value, &length) != DCH_handle) {
    TRC(TRC_ERROR, "Error: dataType of DCH_handle missing");
    return false;
  }
  return DCH_NumberValue(value, length, 4, "DCH_handle", handle);
}

}  // namespace

// --- Online ----------------------------------------------------------------------

namespace {

// The source's own list: every online of a source makes it anew, so a list that
// exists already goes while the group's registration placeholder stands for it.
// The status: 0 when the source has its list; 4 or 5 when the application or the
// group is not registered; -1 when no list could be made.
//
// The source's list is looked up by its exact name, and a new one is always made
// from the group's registration: a source named like its application is a source
// like any other, neither taken for the group's placeholder nor renamed later.
int makeSourceList(applSpaceList& store, const char* applName, const char* attrGroup, const char* sourceName) {
  applSpaceEntry* application = store.searchApplSpace(applName);
  if (application == nullptr) {
    TRC(TRC_ERROR, "Error: <%d> Could not find applName<%s> attrGroup<%s> srcName<%s>", 4, applName, attrGroup,
        sourceName);
    return 4;
  }
  attrInfoList* existing = application->searchAttrInfoList(sourceName, attrGroup);
  if (existing != nullptr) {
    attrInfoList* placeholder = store.searchAttrInfoList(applName, attrGroup, applName);
    if (placeholder == nullptr || placeholder == existing) {
      TRC(TRC_ERROR, "Warning: attrInfoList<@%p> with applName<%s> attrGroup<%s> srcName<%s> already existed.",
          static_cast<void*>(existing), applName, attrGroup, sourceName);
      return 0;
    }
    TRC(TRC_ERROR, "Warning: found identical attrInfoList<@%p> and deleting it.", static_cast<void*>(existing));
    application->freeAttrInfoList(existing);
  }
  char sampleType = '\0';
  int32_t TTL = 0;
  char* attrRegister = nullptr;
  unsigned int registeredBy = 0;
  if (store.searchApplNameAttrGroup(applName, attrGroup, &sampleType, &TTL, &attrRegister, &registeredBy) == nullptr) {
    TRC(TRC_ERROR, "Error: <%d> Could not find applName<%s> with attrGroup<%s>", 5, applName, attrGroup);
    return 5;
  }
  uint32_t handle = application->allocateAttrInfoList(attrGroup, sourceName, sampleType, TTL, attrRegister,
                                                      registeredBy, attrInfoList::kRegistered);
  ZEV0_FreeStorage(&attrRegister);
  if (handle == DCH_NO_HANDLE) {
    TRC(TRC_ERROR, "Error: allocateAttrInfoList failed.");
    return -1;
  }
  return 0;
}

// The consumers that wait for this application's definitions get them and go;
// every status waiter hears that the source is online and stays.
void answerOnlineWaiters(DCHserver& server, DCwaitingList& waiters, const char* applName, const char* attrGroup,
                         const char* sourceName) {
  for (DCwaitingListEntry* entry = waiters.getEntry(1); entry != nullptr; entry = waiters.getEntry(0)) {
    bool sameApplication = std::strcmp(entry->applName(), applName) == 0;
    switch (entry->waiterType()) {
      case DCH_dc_getAttrInfo:
        if (!sameApplication) break;
        server.dc_getApplAttributes(nullptr, applName, &entry->replyAddress());
        waiters.removeEntry(entry);
        break;
      case DCH_dc_getAppl:
        if (!sameApplication) break;
        server.dc_getApplications(nullptr, applName, &entry->replyAddress());
        waiters.removeEntry(entry);
        break;
      case DCH_dc_waitForDPStatus:
        server.dc_waitForDPStatus(nullptr, applName, attrGroup, sourceName, DCH_dp_online, &entry->replyAddress());
        break;
      default:
        break;
    }
  }
  waiters.deleteIterator();
}

}  // namespace

int DCHserver::dp_online(char* message, const char* clientName, long* handle) {
  *handle = 0;
  DataFieldReader fields = requestFields(message);
  char applName[kApplNameHolder];
  if (!readApplName(fields, applName)) return -1;
  char* value;
  uint32_t length;
  char attrGroup[kAttrGroupHolder];
  if (fields.next(&value, &length) != DCH_attrGroup) {
    TRC(TRC_ERROR, "Error: dataType of DCH_attrGroup missing");
    return -1;
  }
  if (!takeAttrGroup(value, length, attrGroup) || !upperCaseName(attrGroup)) return -1;
  std::string sourceName = onlineSourceName(fields, clientName);

  int status = makeSourceList(*_buckets, applName, attrGroup, sourceName.c_str());
  if (status != 0) return status;
  uint32_t sourceHandle = _buckets->getHandle(applName, attrGroup, sourceName.c_str());
  if (sourceHandle == DCH_NO_HANDLE) {
    TRC(TRC_ERROR, "Error: no handle for applName<%s> attrGroup<%s> srcName<%s>", applName, attrGroup,
        sourceName.c_str());
    return 1;
  }
  *handle = static_cast<long>(sourceHandle);
  if (_buckets->markOnline(sourceHandle, _requester.connectedSockFD) == 0)
    answerOnlineWaiters(*this, *_waitList, applName, attrGroup, sourceName.c_str());
  if (DV_Debug() == 1) _buckets->printList();
  actionLogSourceOnline();
  return 0;
}

// --- Data ------------------------------------------------------------------------

namespace {

// Stores the attribute pairs of a data request; the first attribute name may have
// been read already, in place of the control field. The status, and in *count how
// many attribute names were taken.
int storeAttributes(applSpaceList& store, DataFieldReader& fields, uint32_t handle, uint16_t controlField, int found,
                    char* value, uint32_t length, int* count) {
  int status = 0;
  while (status == 0) {
    if (found != DCH_attrName) {
      TRC(TRC_DETAIL, "No more attrNames to process.");
      return 0;
    }
    ++*count;
    if (length > kMaxAttrName) {
      TRC(TRC_ERROR, "Error: attrName length %d > %d", static_cast<int>(length), static_cast<int>(kMaxAttrName));
      return 2;
    }
    std::string attrName = fieldText(value, length);
    char type = store.getAttrType(handle, attrName.c_str());
    if (type == '\0' || std::strchr(kValueTypes, type) == nullptr) {
      TRC(TRC_ERROR, "Error: attrType %d attrName <%s> not part of registered attributes.", type, attrName.c_str());
      return 2;
    }
    if (fields.next(&value, &length, &type) != DCH_attrValue) {
      TRC(TRC_DETAIL, "No more attrValues.");
      return 0;
    }
    status = store.putData(handle, controlField, attrName.c_str(), value, length);
    found = fields.next(&value, &length);
  }
  return status;
}

// The source's current row goes to the first consumer waiting on data of its
// application and group, which stays parked; one found far down moves to the front.
void sendRowToFirstWaiter(DCHserver& server, DCwaitingList& waiters, uint32_t handle, const std::string& applName,
                          const std::string& attrGroup) {
  int visited = 0;
  for (DCwaitingListEntry* entry = waiters.getEntry(1); entry != nullptr; entry = waiters.getEntry(0)) {
    ++visited;
    if (entry->waiterType() != DCH_dc_waitOnData || applName != entry->applName() || attrGroup != entry->attrGroup())
      continue;
    server.dc_waitOnData(nullptr, static_cast<long>(handle), &entry->replyAddress());
    if (visited > kWaitersBeforeMoveToHead) waiters.setHeadOfList(entry);
    break;
  }
  waiters.deleteIterator();
}

}  // namespace

int DCHserver::dp_data(char* message) {
  DataFieldReader fields = requestFields(message);
  uint32_t handle = 0;
  if (!readHandle(fields, &handle)) return -1;

  char* value = nullptr;
  uint32_t length = 0;
  uint16_t controlField = DCH_SingleRow;
  int found = fields.next(&value, &length);
  if (found == DCH_controlField) {
    uint32_t number = 0;
    if (!DCH_NumberValue(value, length, 2, "DCH_controlField", &number)) return -1;
    controlField = static_cast<uint16_t>(number);
    found = fields.next(&value, &length);
  } else {
    TRC(TRC_DETAIL, "DCH_controlField missing. Using default of %02x", controlField);
  }

  int status = 0;
  char sampleType = _buckets->getDataType(handle);
  if (sampleType == 'E' || sampleType == 'K') status = _buckets->clearValues(handle);
  int count = 0;
  if (status == 0) status = storeAttributes(*_buckets, fields, handle, controlField, found, value, length, &count);
  if (status == 0 && count == 0) {
    if (controlField != DCH_EndSampleSet) {
      TRC(TRC_ERROR, "Error: Invalid dp_data request.");
      return -1;
    }
    _buckets->clearValues(handle);
    status = _buckets->putData(handle, DCH_ClearedRow, nullptr, nullptr, 0);
  }
  if (status != 0) return status;

  const char* applName = _buckets->getApplName(handle);
  std::string application = applName != nullptr ? applName : "";
  const char* attrGroup = _buckets->getAttrGroup(handle);
  std::string group = attrGroup != nullptr ? attrGroup : "";
  sendRowToFirstWaiter(*this, *_waitList, handle, application, group);
  return 0;
}

// --- Offline ---------------------------------------------------------------------

namespace {

// Every status waiter hears that the source is offline and stays; the source's
// data providers waiting for actions go.
void answerOfflineWaiters(DCHserver& server, DCwaitingList& waiters, const std::string& applName,
                          const std::string& attrGroup, const std::string& sourceName) {
  for (DCwaitingListEntry* entry = waiters.getEntry(1); entry != nullptr; entry = waiters.getEntry(0)) {
    if (entry->waiterType() == DCH_dc_waitForDPStatus) {
      server.dc_waitForDPStatus(nullptr, applName.c_str(), attrGroup.c_str(), sourceName.c_str(), DCH_dp_offline,
                                &entry->replyAddress());
    } else if (entry->waiterType() == DCH_dp_waitForAction && sourceName == entry->sourceName()) {
      if (waiters.removeEntry(entry) != 0)
        TRC(TRC_ERROR, "Error: could not remove from waitingList @%p", static_cast<void*>(entry));
    }
  }
  waiters.deleteIterator();
}

// The name in the store's result buffer, copied before the next look-up overwrites it.
bool keepName(const char* name, const char* what, uint32_t handle, std::string* kept) {
  if (name == nullptr) {
    TRC(TRC_ERROR, "Error: could not resolve %s from handle=%d", what, static_cast<int>(handle));
    return false;
  }
  *kept = name;
  return true;
}

}  // namespace

int DCHserver::dp_offline(char* message) {
  DataFieldReader fields = requestFields(message);
  uint32_t handle = 0;
  if (!readHandle(fields, &handle)) return -1;
  std::string applName, attrGroup, sourceName;
  if (!keepName(_buckets->getApplName(handle), "applName", handle, &applName) ||
      !keepName(_buckets->getAttrGroup(handle), "attrGroup", handle, &attrGroup) ||
      !keepName(_buckets->getSourceName(handle), "sourceName", handle, &sourceName))
    return -1;
  if (_buckets->markOffline(handle) == 0) answerOfflineWaiters(*this, *_waitList, applName, attrGroup, sourceName);
  actionLogSourceOffline();
  return 0;
}

// --- Unregister ------------------------------------------------------------------

int DCHserver::dp_unregister(char* message) {
  DataFieldReader fields = requestFields(message);
  char applName[kApplNameHolder];
  if (!readApplName(fields, applName)) return -1;
  int status = _buckets->freeApplicationSpace(applName);
  if (status == 3) TRC(TRC_ERROR, "Warning: errorCode<%d> Delete ApplSpaceEntry<%s>", status, applName);
  return status;
}
