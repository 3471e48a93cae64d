// One parked request of the DCH server: who waits, for what, and where the
// later answer goes.
#pragma once

#include <cstdint>

#include "agent_ring.h"
#include "waiter_reply_address.h"

class DCwaitingListEntry : public RingLink<DCwaitingListEntry> {
 public:
  static constexpr int kMaxApplName = 20;
  static constexpr int kMaxAttrGroup = 32;
  static constexpr int kMaxSourceName = 32;

  // True when the three names are present and within the limits above.
  static bool namesFit(const char* applName, const char* attrGroup, const char* sourceName);

  // The names must fit (namesFit).
  DCwaitingListEntry(const char* applName, const char* attrGroup, short waiterType,
                     const WaiterReplyAddress& replyAddress, const char* sourceName, short actionType);

  const char* applName() const { return applName_; }
  const char* attrGroup() const { return attrGroup_; }
  const char* sourceName() const { return sourceName_; }
  short waiterType() const { return waiterType_; }
  short actionType() const { return actionType_; }
  const void* clientAddr() const { return replyAddress_.clientAddr; }
  int clientAddrLen() const { return replyAddress_.clientAddrLen; }
  unsigned int connectedSockFD() const { return replyAddress_.connectedSockFD; }
  uint32_t connectionGeneration() const { return replyAddress_.connectionGeneration; }
  const WaiterReplyAddress& replyAddress() const { return replyAddress_; }
  short markForDelete() const { return markForDelete_; }
  void setMarkForDelete() { markForDelete_ = 1; }

  // Writes the entry to the trace, numbered as the list counts it.
  void printSelf(int number) const;

 private:
  char applName_[kMaxApplName + 1];
  char attrGroup_[kMaxAttrGroup + 1];
  char sourceName_[kMaxSourceName + 1];
  short waiterType_;
  WaiterReplyAddress replyAddress_;
  short markForDelete_ = 0;
  short actionType_;
};
