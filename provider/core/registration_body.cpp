// The register request is sized from its exact entries before it is written, so
// however many attributes a group has, and however long their texts, the
// request either fits its block or is not built.
#include "registration_body.h"

#include <string>
#include <vector>

#include "application_entry.h"
#include "dch_messages.h"
#include "send_order.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

// A field of that many value bytes.
size_t fieldSize(size_t valueLength) { return DCH_FIELD_HEADER_SIZE + valueLength; }
size_t textFieldSize(const char* text) { return fieldSize(text != nullptr ? std::char_traits<char>::length(text) : 0); }

const char* textOrBlank(const char* text) { return text != nullptr && text[0] != '\0' ? text : " "; }

// One entry of the attribute list: [@][$]name,type,size,enumeration,help;
void appendRegisterEntry(std::string& text, const AttributeEntry* attribute) {
  if (attribute->AttrKey != 0) text += '@';
  if (attribute->Atomic != 0) text += '$';
  text += attribute->AttrName;
  text += ',';
  text += ZEVP_RegisteredTypeLetter(attribute->AttrType);
  text += ',';
  text += std::to_string(attribute->MaxValSize);
  text += ',';
  text += textOrBlank(attribute->Enumeration);
  text += ',';
  text += textOrBlank(attribute->HelpText);
  text += ';';
}

// The attribute list of a group, from the attributes of its first source.
std::string attributeRegisterText(const TableEntry* group) {
  std::string text;
  SourceEntry* source = group->FirstSource;
  if (source == nullptr) return text;
  BSV1_GetLock(&source->AttributeLock);
  for (const AttributeEntry* attribute = ZEVP_FirstInSendOrder(source); attribute != nullptr;
       attribute = ZEVP_NextInSendOrder(source, attribute))
    if (ZEVP_IsAttributeRegistered(attribute)) appendRegisterEntry(text, attribute);
  BSV1_ReleaseLock(&source->AttributeLock);
  TRC(TRC_DETAIL, "Attribute Group <%s> Registration buffer size %d", group->TableName,
      static_cast<int>(text.size()));
  return text;
}

struct RegisteredGroup {
  const TableEntry* group;
  char dataType;
  std::string attributes;
};

bool isRegistered(const ApplicationEntry* application, const TableEntry* group) {
  if (application->SNMPapplication != 0 && group->RegistrationCount <= 2) {
    TRC(TRC_DETAIL, "Table %s registration bypassed", group->TableName);
    return false;
  }
  if (group->TableName[0] == '~') {
    TRC(TRC_DETAIL, "Invisible table %s registration bypassed", group->TableName);
    return false;
  }
  return true;
}

// The group's own help text is the first entry of its help buffer, while it has one.
const char* groupHelp(const TableEntry* group) { return group->HelpBuffer; }

size_t requestSize(const ApplicationEntry* application, const std::vector<RegisteredGroup>& groups) {
  size_t size = DCH_MESSAGE_HEADER_SIZE + fieldSize(2) + textFieldSize(application->ApplName) +
                textFieldSize(application->ApplHelp);
  for (const RegisteredGroup& registered : groups)
    size += textFieldSize(registered.group->TableName) + textFieldSize(groupHelp(registered.group)) + fieldSize(1) +
            fieldSize(4) + fieldSize(registered.attributes.size());
  return size;
}

char* writeRequest(const ApplicationEntry* application, const std::vector<RegisteredGroup>& groups) {
  size_t size = requestSize(application, groups);
  if (size > INT32_MAX) {
    TRC(TRC_ERROR, "*** registration of application %s needs %zu bytes, refused", application->ApplName, size);
    return nullptr;
  }
  TRC(TRC_DETAIL, "Reg str size %d", static_cast<int>(size));
  auto* request = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(size)));
  if (request == nullptr) {
    TRC(TRC_ERROR, "*** unable to obtain storage for registration string");
    return nullptr;
  }
  DCHmessageBuilder message(request, size);
  bool written = DCH_AddRegisterHead(message, application->ApplName, application->ApplHelp);
  for (const RegisteredGroup& registered : groups)
    written = written && DCH_AddRegisterGroup(message, registered.group->TableName, groupHelp(registered.group),
                                              registered.dataType, static_cast<uint32_t>(registered.group->TTL),
                                              registered.attributes.c_str());
  if (!written) ZEV0_FreeStorage(&request);
  return request;
}

}  // namespace

char ZEVP_RegisteredTypeLetter(char attrType) {
  switch (attrType) {
    case ZEVP_ATTR_NUMERIC_TEXT:
    case ZEVP_ATTR_RECORD:
    case ZEVP_ATTR_LAST:
      return ZEVP_ATTR_DISPLAY;
    case ZEVP_ATTR_RATE_CHANGE:
    case ZEVP_ATTR_RATE_DELTA:
    case ZEVP_ATTR_RATE_PERCENT:
      return ZEVP_ATTR_GAUGE;
    default:
      return attrType;
  }
}

char* ZEVP_ConstructRegistrationBuffer(ApplicationEntry* application) {
  if (application == nullptr) return nullptr;
  // In the model's order of the two locks, which the release of an application takes too.
  BSV1_GetLock(&application->TableListLock);
  BSV1_GetLock(&application->EntryLock);
  std::vector<RegisteredGroup> groups;
  for (const TableEntry* group = application->FirstTable; group != nullptr; group = group->next) {
    if (!isRegistered(application, group)) continue;
    char dataType = application->SNMPapplication != 0 && group->SNMPtable > 0 ? 'N' : group->DataType[0];
    groups.push_back({group, dataType, attributeRegisterText(group)});
  }
  char* request = groups.empty() ? nullptr : writeRequest(application, groups);
  BSV1_ReleaseLock(&application->EntryLock);
  BSV1_ReleaseLock(&application->TableListLock);
  return request;
}
