// The work directory and product specification of an SNMP collection test program,
// made once: the file names of the collection are fixed at their first use.
#pragma once

#include <string>
#include <vector>

#include "prodspec_directory.h"
#include "scratch_directory.h"

// Writes the product (the default product's records and the extra lines), points
// the work directory at a scratch directory and reads the product once.
const ScratchDirectory& SnmpCollectionWork(const std::vector<std::string>& extraProductLines = {});
