// The row message of an attribute list's current values, sent to a consumer
// waiting on data: the source name (when given), the control field, then one
// raw value per attribute in registration order.
//
// Each attribute carries its value. In a key-data group a value hidden by a
// clear, or missing, is an empty field; elsewhere a number without a holder goes
// as zeros of its registered length.
#pragma once

#include <cstddef>
#include <cstdint>

#include "agent_ring.h"
#include "attr_info_entry.h"

class RowBuilder {
 public:
  RowBuilder(const Ring<attrInfoEntry>& attributes, bool keyData) : attributes_(attributes), keyData_(keyData) {}

  // The exact number of bytes the row takes, or -1 (traced) when an attribute
  // has a type letter for which there is no default.
  int32_t size(const char* sourceName) const;

  // Writes the row at buffer; its total length, or 0 when it does not fit in
  // capacity bytes or an attribute has no default.
  uint32_t write(char* buffer, size_t capacity, const char* sourceName, uint16_t controlField) const;

 private:
  const Ring<attrInfoEntry>& attributes_;
  bool keyData_;
};
