#include "appl_space_entry.h"

#include <cstring>
#include <new>

#include "handle_sequence.h"
#include "trc1.h"

TRC_UNIT();

namespace {

int storeText(std::optional<std::string>* stored, const char* text, const char* what) {
  if (text == nullptr) {
    TRC(TRC_ERROR, "Error: no text for %s", what);
    return -1;
  }
  *stored = text;
  return 0;
}

const char* storedText(const std::optional<std::string>& stored) { return stored ? stored->c_str() : nullptr; }

bool sameOrAny(const char* wanted, const char* actual) { return wanted == nullptr || std::strcmp(wanted, actual) == 0; }

}  // namespace

applSpaceEntry::applSpaceEntry(const char* applName, int numOfApplSpaces)
    : applName_(applName), numOfApplSpaces_(numOfApplSpaces) {}

applSpaceEntry::~applSpaceEntry() { emptyList(); }

uint32_t applSpaceEntry::allocateAttrInfoList(const char* attrGroup, const char* sourceName, char sampleType,
                                              int32_t TTL, const char* attrRegister, unsigned int connectedDP,
                                              char initialStatus) {
  auto* list = new (std::nothrow) attrInfoList(this, attrGroup, sourceName, sampleType, TTL, attrRegister, connectedDP);
  if (list == nullptr) {
    TRC(TRC_ERROR, "Error: allocating attrInfoList");
    return DCH_NO_HANDLE;
  }
  if (list->errors()) {
    TRC(TRC_ERROR, "Error: Errors occurred in attrInfoList.");
    delete list;
    return DCH_NO_HANDLE;
  }
  if (initialStatus == attrInfoList::kOnline) list->setStatus(attrInfoList::kOnline);
  if (firstHandle_ == 0) firstHandle_ = list->handle();
  lists_.add(list);
  return list->handle();
}

int applSpaceEntry::freeAttrInfoList(attrInfoList* list) {
  lists_.remove(list);
  delete list;
  return 0;
}

attrInfoList* applSpaceEntry::searchAttrInfoList(const char* sourceName, const char* attrGroup) const {
  if (sourceName == nullptr && attrGroup == nullptr) return nullptr;
  applSpaceEntryIterator walk(lists_);
  while (attrInfoList* list = walk.Next()) {
    if (sameOrAny(sourceName, list->sourceName()) && sameOrAny(attrGroup, list->group())) return list;
  }
  return nullptr;
}

int applSpaceEntry::checkForOnline() const {
  applSpaceEntryIterator walk(lists_);
  while (const attrInfoList* list = walk.Next()) {
    if (list->status() == attrInfoList::kOnline) return 1;
  }
  return 0;
}

int applSpaceEntry::setApplInfo(const char* text) { return storeText(&applInfo_, text, "_applInfo"); }
int applSpaceEntry::setAttrInfo(const char* text) { return storeText(&attrInfo_, text, "_attrInfo"); }
int applSpaceEntry::setApplHelp(const char* text) { return storeText(&applHelp_, text, "_applHelp"); }

const char* applSpaceEntry::getApplInfo() const { return storedText(applInfo_); }
const char* applSpaceEntry::getAttrInfo() const { return storedText(attrInfo_); }
const char* applSpaceEntry::getApplHelp() const { return storedText(applHelp_); }

int applSpaceEntry::getAttributeHelp(const char* attrGroup, char** text) const {
  const attrInfoList* list = attrGroup != nullptr ? searchAttrInfoList(nullptr, attrGroup) : nullptr;
  if (list == nullptr) {
    TRC(TRC_ERROR, "Error: could not find attrInfoList<%s>", attrGroup ? attrGroup : "(null)");
    return -1;
  }
  list->getAttributeHelp(text);
  return 0;
}

void applSpaceEntry::emptyList() {
  while (attrInfoList* head = lists_.head()) freeAttrInfoList(head);
}

void applSpaceEntry::printSelf() const {
  TRC1_Printf(&trcUnit_, __LINE__,
              "applSpaceEntry @%p applName<%s> firstHandle<%u> noOfElements<%d> numOfApplSpaces<%d> "
              "applInfo<%s> attrInfo<%s> applHelp<%s>",
              static_cast<const void*>(this), applName(), firstHandle_, noOfElements(), numOfApplSpaces_,
              applInfo_ ? applInfo_->c_str() : "(none)", attrInfo_ ? attrInfo_->c_str() : "(none)",
              applHelp_ ? applHelp_->c_str() : "(none)");
}

void applSpaceEntry::printList() const {
  printSelf();
  applSpaceEntryIterator walk(lists_);
  while (const attrInfoList* list = walk.Next()) list->printSelf();
}
