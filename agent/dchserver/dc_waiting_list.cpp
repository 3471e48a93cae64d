#include "dc_waiting_list.h"

#include <cstring>
#include <new>

#include "trc1.h"

TRC_UNIT();

DCwaitingList::~DCwaitingList() {
  while (DCwaitingListEntry* head = ring_.head()) deleteEntry(head, nullptr);
}

int DCwaitingList::addEntry(const char* applName, const char* attrGroup, short waiterType,
                            const WaiterReplyAddress& replyAddress, const char* sourceName, short actionType) {
  if (!DCwaitingListEntry::namesFit(applName, attrGroup, sourceName)) {
    TRC(TRC_ERROR, "Error: waiter names applName<%s> attrGroup<%s> sourceName<%s> missing or too long",
        applName ? applName : "(null)", attrGroup ? attrGroup : "(null)", sourceName ? sourceName : "(null)");
    return 1;
  }
  auto* entry =
      new (std::nothrow) DCwaitingListEntry(applName, attrGroup, waiterType, replyAddress, sourceName, actionType);
  if (entry == nullptr) {
    TRC(TRC_ERROR, "Error: allocating DCwaitingListEntry");
    return 1;
  }
  ring_.add(entry);
  return 0;
}

int DCwaitingList::parkOnce(const char* applName, const char* attrGroup, short waiterType,
                            const WaiterReplyAddress& requester) {
  DCwaitingListIterator lookUp(ring_);
  while (DCwaitingListEntry* entry = lookUp.Next()) {
    if (entry->waiterType() != waiterType || !entry->replyAddress().sameRequester(requester)) continue;
    if (applName != nullptr && attrGroup != nullptr && std::strcmp(entry->applName(), applName) == 0 &&
        std::strcmp(entry->attrGroup(), attrGroup) == 0)
      return 0;
    deleteEntry(entry, &lookUp);
    break;
  }
  return addEntry(applName, attrGroup, waiterType, requester, kNoName, kAnyActionType);
}

int DCwaitingList::removeEntry(DCwaitingListEntry* entry) {
  DCwaitingListIterator lookUp(ring_);
  while (DCwaitingListEntry* candidate = lookUp.Next()) {
    if (candidate == entry) {
      candidate->setMarkForDelete();
      return 0;
    }
  }
  return 1;
}

int DCwaitingList::removeEntry(short waiterType, const char* applName, const char* attrGroup) {
  if (applName == nullptr || attrGroup == nullptr) return 1;
  DCwaitingListIterator lookUp(ring_);
  while (DCwaitingListEntry* entry = lookUp.Next()) {
    if (entry->waiterType() == waiterType && std::strcmp(entry->applName(), applName) == 0 &&
        std::strcmp(entry->attrGroup(), attrGroup) == 0) {
      deleteEntry(entry, &lookUp);
      return 0;
    }
  }
  return 1;
}

int DCwaitingList::cleanupEntries(unsigned int connectedSockFD) {
  DCwaitingListIterator walk(ring_);
  while (DCwaitingListEntry* entry = walk.Next())
    if (entry->connectedSockFD() == connectedSockFD) deleteEntry(entry, &walk);
  return 0;
}

DCwaitingListEntry* DCwaitingList::getEntry(short first) {
  if (first != 0) walk_.emplace(ring_);
  if (!walk_) return nullptr;
  return walk_->Next();
}

int DCwaitingList::deleteIterator() {
  if (!walk_) return 1;
  walk_.reset();
  DCwaitingListIterator walk(ring_);
  while (DCwaitingListEntry* entry = walk.Next())
    if (entry->markForDelete()) deleteEntry(entry, &walk);
  return 0;
}

void DCwaitingList::setHeadOfList(DCwaitingListEntry* entry) {
  if (entry != nullptr) ring_.moveToFront(entry);
}

void DCwaitingList::printList() const {
  TRC1_Printf(&trcUnit_, __LINE__, "DCwaitingList @%p: %d entries, head @%p", static_cast<const void*>(this),
              ring_.count(), static_cast<const void*>(ring_.head()));
  DCwaitingListIterator walk(ring_);
  int number = 0;
  while (const DCwaitingListEntry* entry = walk.Next()) entry->printSelf(++number);
}

// The head moves to the entry's forward neighbour first (the ring does that), so
// the others keep their order; a walk standing on the entry starts again at the head.
void DCwaitingList::deleteEntry(DCwaitingListEntry* entry, DCwaitingListIterator* deletingWalk) {
  if (deletingWalk != nullptr && deletingWalk->Curr() == entry) deletingWalk->resetCurr();
  if (walk_ && walk_->Curr() == entry) walk_->resetCurr();
  ring_.remove(entry);
  delete entry;
}
