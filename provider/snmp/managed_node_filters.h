// A node that the network monitor discovered, matched against the filters of the
// managed node lists: a matching node joins the list and its file.
#pragma once

#include <cstdint>

// What the network monitor knows of a discovered node.
struct DiscoveredNodeRecord {
  char* addressText;  // dotted
  char* nodeName;     // a storage block; replaced by a copy of addressText when added by address
  const char* enterpriseOID;  // dotted, or null
  const char* description;    // sysDescr, or null
  const char* typeText;       // the node's service types, or null
  int32_t checked;            // set once the node went through the filters
};

// For each list in chain order: 2 the node is already in the list, 1 it matched the
// list's filter (and was added), 0 neither. The last list's outcome is returned;
// the record is marked checked. A node already in a list is not looked at again
// by that list once checked.
int ZEVP_CheckManagedNodeFilters(DiscoveredNodeRecord* node);
