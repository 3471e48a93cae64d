// One registered application in the DCH server's store: its attribute lists
// (one per attribute group and source) and the texts consumers ask for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "agent_ring.h"
#include "attr_info_list.h"

using applSpaceEntryIterator = RingIterator<attrInfoList>;

class applSpaceEntry : public RingLink<applSpaceEntry> {
 public:
  applSpaceEntry(const char* applName, int numOfApplSpaces);
  ~applSpaceEntry();
  applSpaceEntry(const applSpaceEntry&) = delete;
  applSpaceEntry& operator=(const applSpaceEntry&) = delete;

  const char* applName() const { return applName_.c_str(); }
  uint32_t firstHandle() const { return firstHandle_; }
  int noOfElements() const { return lists_.count(); }
  const Ring<attrInfoList>& lists() const { return lists_; }

  // Builds and adds the list of a group and source; the initial status applies
  // only when it is 'I'. The new handle, or DCH_NO_HANDLE when the register text
  // was refused (the handle it took is used up).
  uint32_t allocateAttrInfoList(const char* attrGroup, const char* sourceName, char sampleType, int32_t TTL,
                                const char* attrRegister, unsigned int connectedDP, char initialStatus);
  // Removes and deletes one of this application's lists. Returns 0.
  int freeAttrInfoList(attrInfoList* list);
  // The first list with exactly this source name and group; a null name matches
  // any, but with both null nothing is found.
  attrInfoList* searchAttrInfoList(const char* sourceName, const char* attrGroup) const;
  // 1 when one of the lists is online, else 0.
  int checkForOnline() const;

  // Each stores a copy of the text: 0, or -1 for a null text.
  int setApplInfo(const char* text);
  int setAttrInfo(const char* text);
  int setApplHelp(const char* text);
  // The stored text, or null when none was stored.
  const char* getApplInfo() const;
  const char* getAttrInfo() const;
  const char* getApplHelp() const;
  // The attribute help of the group's first list in a new block (caller frees).
  // 0, or -1 when the group has no list.
  int getAttributeHelp(const char* attrGroup, char** text) const;

  // Deletes every list, whatever its status.
  void emptyList();
  void printSelf() const;
  void printList() const;

 private:
  std::string applName_;
  std::optional<std::string> applInfo_;
  std::optional<std::string> attrInfo_;
  std::optional<std::string> applHelp_;
  uint32_t firstHandle_ = 0;
  int numOfApplSpaces_;
  Ring<attrInfoList> lists_;
};
