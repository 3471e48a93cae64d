// The options of a metafile record, found anywhere in it before it is split into
// words: MODULE=, DLM=, SKEY=, SEQ=, ENUM{...}, REAL, ManagedSystemName=, DSN=,
// +FILTER={...} or -FILTER={...}, and the help text after '@'.
#pragma once

#include <string>

#include "metafile_parse_state.h"

namespace zevp {

// Fills state.options from the record (the options of an attribute definition
// only while an attribute section is open, those of //SOURCE and //ODBC only
// while none is) and cuts the record where an enumeration or the help text ends
// it. Shows ZEVPV82E and ZEVPV66E for a faulty DLM= and FILTER={.
void ScanRecordOptions(MetafileParseState& state, std::string& record);

}  // namespace zevp
