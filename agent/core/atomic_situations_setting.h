// The atomic situations of ZEVA_ATOMIC_SITUATIONS, as start-up enters them into the
// agent's list.
#pragma once

class atomicSituationList;

// Adds each "name:column" pair of the comma-separated setting whose column is greater
// than 0 and below Max_IB_Columns() to the list, tracing every entry it refuses.
// Returns how many were added. A setting that does not fit the 2048-byte work area is
// refused whole.
int addAtomicSituations(const char* setting, atomicSituationList* list);
