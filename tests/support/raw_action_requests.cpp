#include "raw_action_requests.h"

#include <cstdio>
#include <vector>

namespace rawdch {

std::string WaitForActionRequest(uint16_t actionType, const std::string& hostName) {
  return Message::Request(kWaitForAction).u16(kActionType, actionType).text(kSourceName, hostName).bytes();
}

std::string ActionResultsRequest(uint32_t actionID, uint32_t status, const std::string* result) {
  Message request = Message::Request(kActionResults).u32(kActionID, actionID).u32(kStatus, status);
  if (result != nullptr) request.text(kActionResult, *result);
  return request.bytes();
}

ActionMessage ReadActionMessage(const std::string& message) {
  ActionMessage action;
  std::vector<Field> fields;
  if (!SplitFields(message, &fields) || fields.empty() || fields[0].type != kRequestType ||
      Big16(fields[0].value, 0) != kProvideAction)
    return action;
  for (const Field& field : fields) {
    switch (field.type) {
      case kActionType: action.actionType = Big16(field.value, 0); break;
      case kActionOwner: action.owner = FromNetworkCode(field.value); break;
      case kSourceName: action.node = FromNetworkCode(field.value); break;
      case kActionName: action.name = FromNetworkCode(field.value); break;
      case kActionID: action.actionID = Big32(field.value, 0); break;
      case kActionParms:
        action.hasParms = true;
        action.parms = FromNetworkCode(field.value);
        break;
      default: break;
    }
  }
  action.valid = true;
  return action;
}

const Group kDataProviderLogGroup{"DPLOG", "Data provider log", 'E', 300, "Message,D,256, , ;"};
const Group kActionLogGroup{"ACTION", "Action log", 'E', 300,
                            "Action_Type,D,16, , ;Action_Owner,D,64, , ;Action_Node,D,32, , ;"
                            "Action_Name,D,256, , ;Action_Parms,D,1024, , ;Action_Status,D,64, , ;"
                            "Action_Result,D,256, , ;Action_ID,C,4, , ;"};

std::string DescribeActionMessage(const std::string& message) {
  std::vector<Field> fields;
  if (!SplitFields(message, &fields)) return "";
  std::string described;
  for (const Field& field : fields) {
    bool number = field.type == kRequestType || field.type == kActionType || field.type == kActionID;
    std::string value = !number                   ? FromNetworkCode(field.value)
                        : field.value.size() == 2 ? std::to_string(Big16(field.value, 0))
                                                  : std::to_string(Big32(field.value, 0));
    char type[8];
    std::snprintf(type, sizeof type, "%x", field.type);
    described += std::string(described.empty() ? "" : " ") + type + "=" + value;
  }
  return described;
}

bool HeardOnline(UdpPeer& sources, const std::string& sourceName, int waitMs) {
  const std::string source = ToNetworkCode(sourceName);
  for (std::string notice; !(notice = sources.receive(waitMs)).empty();) {
    std::vector<Field> fields;
    if (SplitFields(notice, &fields) && fields.size() == 4 && fields[2].value == source &&
        Big16(fields[3].value, 0) == kOnline)
      return true;
  }
  return false;
}

}  // namespace rawdch
