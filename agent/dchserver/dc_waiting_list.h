// The DCH server's parked requests: consumers waiting for rows, status changes,
// application definitions or action results, and data providers waiting for
// actions. Only the server's request thread touches the list: it has no lock.
//
// A walk goes from the head through the entries in the order they were added.
// Inside a walk (getEntry) entries are only marked (removeEntry(entry)); they go
// when the walk is closed (deleteIterator).
#pragma once

#include <optional>

#include "agent_ring.h"
#include "dc_waiting_list_entry.h"

using DCwaitingListIterator = RingIterator<DCwaitingListEntry>;

class DCwaitingList {
 public:
  // The name of a waiter that is not tied to an application, group or source.
  static constexpr char kNoName[] = "NULL";
  // The action type of every waiter but a data provider's wait for actions.
  static constexpr short kAnyActionType = 1;

  DCwaitingList() = default;
  ~DCwaitingList();
  DCwaitingList(const DCwaitingList&) = delete;
  DCwaitingList& operator=(const DCwaitingList&) = delete;

  // Parks a request. 0, or 1 when a name is missing or too long (application 20,
  // group and source 32 characters) or the entry cannot be allocated.
  int addEntry(const char* applName, const char* attrGroup, short waiterType, const WaiterReplyAddress& replyAddress,
               const char* sourceName, short actionType);

  // Parks a consumer's request, which each requester (address, or connection) has
  // parked at most once per waiter type: its earlier waiter of the type goes, unless
  // it waits for the same names, which keeps it as it stands. A peer that asks again
  // and again, for whatever names, so never makes the list grow. Outside a walk.
  // 0, or 1 as addEntry.
  int parkOnce(const char* applName, const char* attrGroup, short waiterType, const WaiterReplyAddress& requester);

  // Marks an entry for deletion at the next deleteIterator(). 0, or 1 when the
  // entry is not in the list.
  int removeEntry(DCwaitingListEntry* entry);

  // Deletes at once the first entry in visiting order with these three values.
  // 0, or 1 when none matched.
  int removeEntry(short waiterType, const char* applName, const char* attrGroup);

  // Deletes every entry parked through this connected socket. Returns 0.
  int cleanupEntries(unsigned int connectedSockFD);

  // The list's own walk: first non-zero opens it and gives the first entry, 0 the
  // next one. Null at the end (and for a next step with no walk open).
  DCwaitingListEntry* getEntry(short first);

  // Closes the walk and deletes the marked entries. 0, or 1 (nothing deleted)
  // when no walk was open.
  int deleteIterator();

  // Moves an entry that is not the head to the front of the visiting order.
  void setHeadOfList(DCwaitingListEntry* entry);

  void printList() const;

  DCwaitingListEntry* list() const { return ring_.head(); }
  int noOfElements() const { return ring_.count(); }

 private:
  void deleteEntry(DCwaitingListEntry* entry, DCwaitingListIterator* deletingWalk);

  Ring<DCwaitingListEntry> ring_;
  std::optional<DCwaitingListIterator> walk_;
};
