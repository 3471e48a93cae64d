#include "url_row_values.h"

#include <algorithm>

#include "attribute_entry.h"
#include "dch_work_queue.h"
#include "engine_routines.h"
#include "source_entry.h"
#include "vmo1.h"

namespace zevp {

namespace {

constexpr int32_t kHighestHTTPcode = 999;

// The library's texts that rows word their own way.
struct Reworded {
  std::string_view library;
  std::string_view row;
};
constexpr Reworded kRewordedStatuses[] = {
    {"URI authority is not a recognized network address", "Not a recognized network address"},
    {"client connection has been lost", "Timeout occurred while obtaining URL status"},
};

}  // namespace

void SendURLrow(DPAB* anchor, SourceEntry* source) {
  EngineRoutines& routines = Routines();
  routines.updateSourceEntryState(source, ZEVP_Output);
  routines.queueAndWaitDCHstatus(anchor, source->OwningTask, source);
}

std::string URLstatusText(int32_t status, const URLstatusDescription& description) {
  if (description.TextLength > 0)
    return std::string(description.Text,
                       static_cast<size_t>(std::min(description.TextLength, ZEVP_URL_STATUS_TEXT_MAX)));
  VMO1_StatusDescription described;
  if (VMO1_QueryStatus(VMO1_STATUS_DESCRIPTION_SIZE, &described, status) != 0) return "";
  return std::string(described.text, static_cast<size_t>(described.textLength));
}

std::string URLstatusValue(int32_t status, const URLstatusDescription& description) {
  if (status == 0) return "OK";
  const std::string text = URLstatusText(status, description);
  if (description.HTTPcode >= 1 && description.HTTPcode <= kHighestHTTPcode)
    return std::to_string(description.HTTPcode) + ": " + text;
  for (const Reworded& reworded : kRewordedStatuses)
    if (text == reworded.library) return std::string(reworded.row);
  return text;
}

}  // namespace zevp
