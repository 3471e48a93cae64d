// Readers of what a parked consumer receives: status notices (0x2070) and row
// messages (0x2060).
#include "field_reading.h"

bool DCH_ParseStatusNotice(char* message, size_t heldBytes, DCHstatusNotice* notice) {
  *notice = DCHstatusNotice{};
  DataFieldReader reader(message, heldBytes);
  return DCH_ReadText(reader, DCH_applName, "DCH_applName", &notice->applName) &&
         DCH_ReadText(reader, DCH_attrGroup, "DCH_attrGroup", &notice->attrGroup) &&
         DCH_ReadText(reader, DCH_sourceName, "DCH_sourceName", &notice->sourceName) &&
         DCH_ReadU16(reader, DCH_requestType, "DCH_requestType", &notice->requestCode);
}

bool DCH_ParseRowHead(DataFieldReader& row, DCHrowHead* head) {
  *head = DCHrowHead{};
  return DCH_ReadText(row, DCH_sourceName, "DCH_sourceName", &head->sourceName) &&
         DCH_ReadU16(row, DCH_controlField, "DCH_controlField", &head->controlField);
}

bool DCH_NextRowValue(DataFieldReader& row, DCHview* value) {
  char* bytes;
  uint32_t length;
  if (row.next(&bytes, &length) != DCH_attrRawValue) return false;
  *value = DCHview{bytes, length};
  return true;
}
