// Reader of the action message (0x1060) that a data provider parked with 0x1040
// receives.
#include "field_reading.h"
#include "trc1.h"

TRC_UNIT();

namespace {

bool takeNumber(const char* value, uint32_t length, uint32_t width, const char* name, uint32_t* number,
                int* fieldCount) {
  if (!DCH_NumberValue(value, length, width, name, number)) return false;
  ++*fieldCount;
  return true;
}

void takeText(char* value, uint32_t length, DCHview* text, int* fieldCount) {
  *text = DCHview{value, length};
  ++*fieldCount;
}

// One field of the action into its place; a field that is not part of an action,
// or a number of the wrong size, is skipped.
void takeActionField(int dataType, char* value, uint32_t length, DCHactionMessage* action) {
  uint32_t number;
  switch (dataType) {
    case DCH_actionType:
      if (takeNumber(value, length, 2, "DCH_actionType", &number, &action->fieldCount)) {
        action->actionType = static_cast<uint16_t>(number);
        action->hasActionType = true;
      }
      return;
    case DCH_actionID:
      takeNumber(value, length, 4, "DCH_actionID", &action->actionID, &action->fieldCount);
      return;
    case DCH_actionOwner:
      takeText(value, length, &action->owner, &action->fieldCount);
      return;
    case DCH_sourceName:
      takeText(value, length, &action->node, &action->fieldCount);
      return;
    case DCH_actionName:
      takeText(value, length, &action->name, &action->fieldCount);
      return;
    case DCH_actionParms:
      action->parms = DCHview{value, length};  // optional: not counted
      return;
    default:
      TRC(TRC_ERROR, "***** unexpected DCH data field ignored %d", dataType);
  }
}

}  // namespace

bool DCH_ParseActionMessage(char* message, size_t heldBytes, DCHactionMessage* action) {
  *action = DCHactionMessage{};
  DataFieldReader reader(message, heldBytes);
  uint16_t requestCode;
  if (!DCH_ReadU16(reader, DCH_requestType, "DCH_requestType", &requestCode)) return false;
  if (requestCode != DCH_dp_provideAction) {
    TRC(TRC_ERROR, "***** unsupported DCH request ignored");
    return false;
  }
  char* value;
  uint32_t length;
  for (int dataType; (dataType = reader.next(&value, &length)) != 0;)
    takeActionField(dataType, value, length, action);
  return true;
}
