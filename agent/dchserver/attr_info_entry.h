// One attribute of an attribute group in the DCH server's store: its
// registration and its current value.
#pragma once

#include <cstdint>
#include <string>

#include "agent_ring.h"
#include "attribute_register.h"
#include "current_value.h"

class attrInfoEntry : public RingLink<attrInfoEntry> {
 public:
  explicit attrInfoEntry(const AttributeDescription& description);

  const char* name() const { return name_.c_str(); }
  const char* attrHelp() const { return attrHelp_.c_str(); }
  const char* ENUM() const { return ENUM_.c_str(); }
  char type() const { return type_; }
  int16_t attrLength() const { return attrLength_; }
  bool keyed() const { return keyed_; }
  bool atomic() const { return atomic_; }
  const CurrentValue& value() const { return value_; }
  bool valueIgnore() const { return valueIgnore_; }

  // Takes a value of a data request; it is visible again in the rows. Returns 0.
  int setValue(const char* value, uint32_t length);
  // Resets the value; in a key-data group it is kept but hidden from the rows
  // until the next setValue.
  void clearValue(bool keyData);

  void printSelf() const;

 private:
  std::string name_;
  std::string attrHelp_;
  std::string ENUM_;
  char type_;
  int16_t attrLength_;
  bool keyed_;
  bool atomic_;
  CurrentValue value_;
  bool valueIgnore_ = false;
};
