// The output order of a source's attributes: a second chain through its
// attribute list (FirstInSequence, NextInSequence) that rows and the
// registration follow. Empty until built; a source without one is sent in the
// order of definition.
#pragma once

struct ApplicationEntry;
struct AttributeEntry;
struct SourceEntry;
struct TableEntry;

// Appends the attribute at the tail of the source's order list. An attribute that
// is in the list already stays where it is: linking it twice would close the chain.
void AddAttributeToList(SourceEntry* source, AttributeEntry* attribute);

// Builds the order list of every source that has none yet: of every group of the
// application, or of the given group only (application may then be null).
//   1. the leading attributes whose names begin with '_';
//   2. for 1 up to the group's attributes-defined counter, the first attribute
//      whose order sequence (SEQ=) is that number;
//   3. in definition order, the attributes without order sequence that take a
//      place in the row, are not of type K and whose names do not begin with '_';
//   4. the attributes of type 2's kind left unlinked (a repeated sequence number,
//      or one past the counter), so that no attribute of the row is lost;
//   5. the remaining attributes whose names begin with '_' (_DataSourceName, ...).
void ZEVP_ConstructAttributeOrderLinkList(ApplicationEntry* application, TableEntry* table);
