// One attribute group and source of an application in the DCH server's store:
// its identity, its DCH handle and status, and its attributes with their
// current values, parsed from the group's attribute-register text.
#pragma once

#include <cstdint>
#include <string>

#include "agent_ring.h"
#include "attr_info_entry.h"

class applSpaceEntry;

using attrInfoIterator = RingIterator<attrInfoEntry>;

class attrInfoList : public RingLink<attrInfoList> {
 public:
  // Source status letters.
  static constexpr char kRegistered = '?';  // never online
  static constexpr char kOnline = 'I';
  static constexpr char kOffline = 'O';

  // Parses the register text; errors() tells whether anything failed (traced).
  // A handle is taken unless the text is missing.
  attrInfoList(applSpaceEntry* owner, const char* attrGroup, const char* sourceName, char sampleType, int32_t TTL,
               const char* attrRegister, unsigned int connectedDP);
  ~attrInfoList();
  attrInfoList(const attrInfoList&) = delete;
  attrInfoList& operator=(const attrInfoList&) = delete;

  applSpaceEntry* ApplSpaceEntry() const { return owner_; }
  const char* group() const { return group_.c_str(); }
  const char* sourceName() const { return sourceName_.c_str(); }
  void setSourceName(const char* sourceName) { sourceName_ = sourceName; }
  char attrType() const { return attrType_; }
  int32_t TTL() const { return TTL_; }
  uint16_t cntlField() const { return cntlField_; }
  const char* attrRegister() const { return attrRegister_.c_str(); }
  uint32_t handle() const { return handle_; }
  char status() const { return status_; }
  void setStatus(char status) { status_ = status; }
  unsigned int connectedDP() const { return connectedDP_; }
  void setConnectedDP(unsigned int connectedDP) { connectedDP_ = connectedDP; }
  int noOfElements() const { return attributes_.count(); }
  uint16_t errors() const { return errors_; }
  const Ring<attrInfoEntry>& attributes() const { return attributes_; }

  // Stores the control field, then gives the value to the attribute of that
  // exact name. 0 when it took it, 1 for a null name or value or no such attribute.
  int setValue(const char* attrName, uint16_t controlField, const char* value, uint32_t length);
  // The attribute's type letter, '?' when there is no such attribute.
  char getAttrType(const char* attrName) const;
  // Resets every value (a key-data group hides them instead). The errors flag.
  uint16_t clearValues();
  // Builds the row of current values in *buffer (allocated with ZEV0_GetStorage
  // to the row's size when null), beginning with the source name when one is
  // given. The row's total length, or -1 when it cannot be built or does not fit
  // in bufferLength bytes.
  int getAttrValues(char** buffer, int bufferLength, const char* sourceName);
  // "name,help,enumerations," per attribute, the last ending in ':' instead, in a
  // new block (ZEV0_GetStorage; the caller frees). 0, or 1 (traced; *text unchanged).
  int getAttributeHelp(char** text) const;

  void printSelf() const;

 private:
  void parseAttributes(const char* attrRegister);

  applSpaceEntry* owner_;
  std::string group_;
  std::string sourceName_;
  char attrType_;
  int32_t TTL_;
  uint16_t cntlField_ = 0x11;
  std::string attrRegister_;
  uint32_t handle_ = 0;
  char status_ = kRegistered;
  unsigned int connectedDP_;
  uint16_t errors_ = 0;
  Ring<attrInfoEntry> attributes_;
};
