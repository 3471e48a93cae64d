#include "appl_space_list.h"

#include <cstring>
#include <new>
#include <string>

#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

// The three-name search's rule: exact, except that the application name as
// source name stands for every source name that begins with it.
bool sourceMatches(const char* wanted, const char* applName, const char* actual) {
  if (std::strcmp(wanted, applName) == 0) return std::strncmp(actual, wanted, std::strlen(wanted)) == 0;
  return std::strcmp(wanted, actual) == 0;
}

}  // namespace

applSpaceList::~applSpaceList() { emptyList(); }

int applSpaceList::allocApplicationSpace(const char* applName, const char* attrGroup, char sampleType, int32_t TTL,
                                         const char* attrRegister, short initFlag, unsigned int connectedDP) {
  if (applName == nullptr || attrGroup == nullptr) return -1;
  std::string placeholder = std::string(applName) + "_" + std::to_string(sourceCounter_++);
  if (applSpaceEntry* application = searchApplSpace(applName)) {
    int result = 0;
    if (initFlag != 0) {
      result = 1;
      if (std::strcmp(applName, DCH_ACTION_LOG_APPLICATION) != 0)
        TRC(TRC_ERROR, "Warning: applSpaceEntry[%s] already exists.", applName);
    }
    if (application->searchAttrInfoList(placeholder.c_str(), attrGroup) != nullptr) {
      TRC(TRC_ERROR, "Error: attrInfoList[%s/%s] already exists.", applName, attrGroup);
      return -1;
    }
    if (addGroup(application, attrGroup, placeholder.c_str(), sampleType, TTL, attrRegister, connectedDP) != 0)
      return -1;
    return result;
  }
  auto* application = new (std::nothrow) applSpaceEntry(applName, applications_.count() + 1);
  if (application == nullptr) {
    TRC(TRC_ERROR, "Error: allocating applSpaceEntry.");
    return -1;
  }
  applications_.add(application);
  // A first group that fails leaves the application registered without it.
  addGroup(application, attrGroup, placeholder.c_str(), sampleType, TTL, attrRegister, connectedDP);
  return 0;
}

int applSpaceList::addGroup(applSpaceEntry* application, const char* attrGroup, const char* placeholder,
                            char sampleType, int32_t TTL, const char* attrRegister, unsigned int connectedDP) {
  if (application->allocateAttrInfoList(attrGroup, placeholder, sampleType, TTL, attrRegister, connectedDP,
                                        attrInfoList::kRegistered) == DCH_NO_HANDLE) {
    TRC(TRC_ERROR, "Error: allocateAttrInfoList failed.");
    return -1;
  }
  return 0;
}

int applSpaceList::freeApplicationSpace(const char* applName) {
  applSpaceEntry* application = searchApplSpace(applName);
  if (application == nullptr) {
    TRC(TRC_ERROR, "Warning: No applSpaceEntry[%s] found", applName ? applName : "(null)");
    return -1;
  }
  if (application->checkForOnline()) {
    TRC(TRC_ERROR, "Warning: Cannot remove applSpaceEntry[%s]. DP's still online", applName);
    return 3;
  }
  applications_.remove(application);
  delete application;
  return 0;
}

applSpaceEntry* applSpaceList::searchApplSpace(const char* applName) const {
  if (applName == nullptr) return nullptr;
  applSpaceIterator walk(applications_);
  while (applSpaceEntry* application = walk.Next()) {
    if (std::strcmp(application->applName(), applName) == 0) return application;
  }
  return nullptr;
}

attrInfoList* applSpaceList::searchAttrInfoList(uint32_t handle) const {
  applSpaceIterator applicationWalk(applications_);
  while (applSpaceEntry* application = applicationWalk.Next()) {
    applSpaceEntryIterator listWalk(application->lists());
    while (attrInfoList* list = listWalk.Next()) {
      if (list->handle() == handle) return list;
    }
  }
  return nullptr;
}

attrInfoList* applSpaceList::searchAttrInfoList(const char* applName, const char* attrGroup,
                                                const char* sourceName) const {
  if (attrGroup == nullptr || sourceName == nullptr) return nullptr;
  applSpaceEntry* application = searchApplSpace(applName);
  if (application == nullptr) return nullptr;
  applSpaceEntryIterator walk(application->lists());
  while (attrInfoList* list = walk.Next()) {
    if (std::strcmp(list->group(), attrGroup) == 0 && sourceMatches(sourceName, applName, list->sourceName()))
      return list;
  }
  return nullptr;
}

int applSpaceList::searchHandle(uint32_t handle) const { return searchAttrInfoList(handle) != nullptr ? 1 : 0; }

applSpaceEntry* applSpaceList::searchApplNameAttrGroup(const char* applName, const char* attrGroup, char* sampleType,
                                                       int32_t* TTL, char** attrRegister,
                                                       unsigned int* connectedDP) const {
  if (attrRegister == nullptr || *attrRegister != nullptr) {
    TRC(TRC_ERROR, "Error: parm attrRegister must be initialize to NULL.");
    return nullptr;
  }
  applSpaceEntry* application = searchApplSpace(applName);
  const attrInfoList* list =
      application != nullptr && attrGroup != nullptr ? application->searchAttrInfoList(nullptr, attrGroup) : nullptr;
  if (list == nullptr) return nullptr;
  auto size = static_cast<int32_t>(std::strlen(list->attrRegister()) + 1);
  auto* copy = static_cast<char*>(ZEV0_GetStorage(size));
  if (copy == nullptr) {
    TRC(TRC_ERROR, "Error: allocating %d bytes for attrRegister", size);
    return nullptr;
  }
  std::memcpy(copy, list->attrRegister(), static_cast<size_t>(size));
  *attrRegister = copy;
  *sampleType = list->attrType();
  *TTL = list->TTL();
  *connectedDP = list->connectedDP();
  return application;
}

int applSpaceList::setSourceName(const char* applName, const char* attrGroup, const char* sourceName) {
  applSpaceEntry* application = searchApplSpace(applName);
  if (application == nullptr) return 4;
  if (attrGroup == nullptr || sourceName == nullptr) return 5;
  attrInfoList* list = application->searchAttrInfoList(applName, attrGroup);
  if (list == nullptr) return 5;
  list->setSourceName(sourceName);
  return 0;
}

uint32_t applSpaceList::getHandle(const char* applName, const char* attrGroup, const char* sourceName) const {
  applSpaceEntry* application = searchApplSpace(applName);
  if (application == nullptr || attrGroup == nullptr || sourceName == nullptr) return DCH_NO_HANDLE;
  const attrInfoList* list = application->searchAttrInfoList(sourceName, attrGroup);
  return list != nullptr ? list->handle() : DCH_NO_HANDLE;
}

int applSpaceList::markOnline(uint32_t handle, unsigned int connectedDP) {
  attrInfoList* list = searchAttrInfoList(handle);
  if (list == nullptr) {
    TRC(TRC_ERROR, "Error: attrInfoList with handle %u not found.", handle);
    return 1;
  }
  list->setStatus(attrInfoList::kOnline);
  list->setConnectedDP(connectedDP);
  return 0;
}

int applSpaceList::markOffline(uint32_t handle) {
  attrInfoList* list = searchAttrInfoList(handle);
  if (list == nullptr) {
    TRC(TRC_ERROR, "Error: attrInfoList with handle %u not found.", handle);
    return 1;
  }
  list->setStatus(attrInfoList::kOffline);
  return 0;
}

int applSpaceList::numberOnline(const char* applName, const char* attrGroup) const {
  applSpaceEntry* application = searchApplSpace(applName);
  if (application == nullptr || attrGroup == nullptr) return 0;
  int online = 0;
  applSpaceEntryIterator walk(application->lists());
  while (const attrInfoList* list = walk.Next()) {
    if (std::strcmp(list->group(), attrGroup) == 0 && list->status() == attrInfoList::kOnline) ++online;
  }
  return online;
}

const char* applSpaceList::getApplName(uint32_t handle) {
  const attrInfoList* list = searchAttrInfoList(handle);
  return list != nullptr ? keepResult(list->ApplSpaceEntry()->applName()) : nullptr;
}

const char* applSpaceList::getAttrGroup(uint32_t handle) {
  const attrInfoList* list = searchAttrInfoList(handle);
  return list != nullptr ? keepResult(list->group()) : nullptr;
}

const char* applSpaceList::getSourceName(uint32_t handle) {
  const attrInfoList* list = searchAttrInfoList(handle);
  if (list == nullptr) {
    TRC(TRC_ERROR, "Error: attrInfoList with handle %u not found.", handle);
    return nullptr;
  }
  return keepResult(list->sourceName());
}

const char* applSpaceList::keepResult(const char* text) {
  resultBuffer_.assign(text);
  return resultBuffer_.c_str();
}

int applSpaceList::putData(uint32_t handle, uint16_t controlField, const char* attrName, const char* value,
                           uint32_t length) {
  attrInfoList* list = searchAttrInfoList(handle);
  if (list == nullptr) return 2;
  list->setValue(attrName, controlField, value, length);
  return 0;
}

int applSpaceList::getData(char** buffer, int bufferLength, uint32_t handle, short withSourceName) {
  attrInfoList* list = searchAttrInfoList(handle);
  if (list == nullptr) return -1;
  return list->getAttrValues(buffer, bufferLength, withSourceName != 0 ? list->sourceName() : nullptr);
}

int applSpaceList::clearValues(uint32_t handle) {
  attrInfoList* list = searchAttrInfoList(handle);
  if (list == nullptr) return -1;
  list->clearValues();
  return 0;
}

char applSpaceList::getAttrType(uint32_t handle, const char* attrName) const {
  const attrInfoList* list = searchAttrInfoList(handle);
  return list != nullptr ? list->getAttrType(attrName) : '?';
}

char applSpaceList::getDataType(uint32_t handle) const {
  const attrInfoList* list = searchAttrInfoList(handle);
  return list != nullptr ? list->attrType() : '?';
}

void applSpaceList::emptyList() {
  while (applSpaceEntry* head = applications_.head()) {
    applications_.remove(head);
    delete head;
  }
}

void applSpaceList::printList() const {
  TRC1_Printf(&trcUnit_, __LINE__, "applSpaceList @%p: %d applications, sourceCounter<%u>",
              static_cast<const void*>(this), noOfElements(), sourceCounter_);
  applSpaceIterator walk(applications_);
  while (const applSpaceEntry* application = walk.Next()) application->printList();
}
