// What the rows of URL monitoring have in common: values put into the attributes
// of the group's single source, and the row queued to the DCH client routine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "builtin_group.h"
#include "url_records.h"

struct AttributeEntry;
struct DPAB;
struct SourceEntry;

namespace zevp {

// Sets the source Output, queues it to the DCH client routine and waits for its status.
void SendURLrow(DPAB* anchor, SourceEntry* source);

// The library's text of a status: as the subtask kept it with the status, else as
// the library describes the status alone.
std::string URLstatusText(int32_t status, const URLstatusDescription& description);

// The Status value of a URL's row: "OK", the reply's code and text ("404: Not
// Found"), or the library's text of the status in the row's own words.
std::string URLstatusValue(int32_t status, const URLstatusDescription& description);

}  // namespace zevp
