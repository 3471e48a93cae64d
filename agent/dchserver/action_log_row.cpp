#include "action_log_row.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "action_table.h"
#include "dch/dch_api.h"
#include "dch/dch_client.h"
#include "trc1.h"

TRC_UNIT();

namespace {

constexpr char kTextAttribute = 'D';
constexpr char kCounterAttribute = 'C';
// A row holds up the log by at most this long, and is not waited for again.
constexpr short kReplySeconds = 1;
constexpr short kNoRetry = 0;
// An empty text is sent as one blank: an attribute left out would keep the value of
// the previous row at the server.
constexpr char kBlank[] = " ";

// A data request under construction, as the exported dp_formatData keeps it.
class RowBuilder {
 public:
  ~RowBuilder() { free(workBuffer_); }

  bool addText(const char* attrName, const char* value) {
    const char* text = value != nullptr && value[0] != '\0' ? value : kBlank;
    return add(attrName, text, static_cast<long>(std::strlen(text)), kTextAttribute);
  }
  bool addCounter(const char* attrName, int32_t value) {
    return add(attrName, &value, static_cast<long>(sizeof value), kCounterAttribute);
  }
  // The verb takes the buffer over.
  char** workBuffer() { return &workBuffer_; }

 private:
  bool add(const char* attrName, const void* value, long valueSize, char attrType) {
    long status = 0;
    int result = dp_formatData(&status, &workBuffer_, &size_, attrName, value, valueSize, attrType);
    if (result == 0 && status == 0) return true;
    TRC(TRC_ERROR, "Error: dp_formatData failed for attribute <%s>. ERROR<%d> STATUS<%ld>", attrName, result, status);
    return false;
  }

  char* workBuffer_ = nullptr;
  long size_ = 0;
};

bool formatRow(RowBuilder& row, const actionTableEntry& entry) {
  return row.addText("Action_Type", actionTable::actionTypeText(entry.actionType())) &&
         row.addText("Action_Owner", entry.actionOwner()) && row.addText("Action_Node", entry.actionNode()) &&
         row.addText("Action_Name", entry.actionName()) && row.addText("Action_Parms", entry.actionParms()) &&
         row.addText("Action_Status", actionTable::actionStatusText(entry.actionStatus())) &&
         row.addText("Action_Result", entry.actionResults()) &&
         row.addCounter("Action_ID", static_cast<int32_t>(entry.actionID()));
}

}  // namespace

ActionRowResult sendActionRow(const actionTableEntry& entry, long handle) {
  RowBuilder row;
  if (!formatRow(row, entry)) return ActionRowResult::attributeFailed;
  long status = 0;
  if (dp_actionData(&status, handle, entry.controlField(), row.workBuffer(), kReplySeconds, kNoRetry) == 0)
    return ActionRowResult::sent;
  if (status == DCHCLIENT_STATUS_NO_REPLY) {
    TRC(TRC_ERROR, "Warning: dp_actionData for actionTableEntry @%p actionID <%ld> timed out.",
        static_cast<const void*>(&entry), entry.actionID());
    return ActionRowResult::timedOut;
  }
  TRC(TRC_ERROR, "Error: dp_actionData for actionTableEntry @%p actionID <%ld> failed.",
      static_cast<const void*>(&entry), entry.actionID());
  return ActionRowResult::sendFailed;
}
