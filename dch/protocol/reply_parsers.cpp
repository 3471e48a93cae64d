// Readers of the replies to a request: status replies and responses, and the
// peek that tells a reply from an action message.
#include "field_reading.h"

namespace {

uint16_t readBigEndian16(const char* bytes) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes);
  return static_cast<uint16_t>((b[0] << 8) | b[1]);
}

bool parseStatusReply(char* message, size_t heldBytes, DCHstatusReply* reply, bool handleRequired) {
  *reply = DCHstatusReply{};
  DataFieldReader reader(message, heldBytes);
  uint32_t status;
  if (!DCH_ReadU32(reader, DCH_status, "DCH_status", &status)) return false;
  reply->status = static_cast<int32_t>(status);
  if (handleRequired) {
    reply->hasHandle = DCH_ReadU32(reader, DCH_handle, "DCH_handle", &reply->handle);
    return reply->hasHandle;
  }
  char* value;
  uint32_t length;
  if (reader.next(&value, &length) != DCH_handle) return true;
  reply->hasHandle = DCH_NumberValue(value, length, 4, "DCH_handle", &reply->handle);
  return reply->hasHandle;
}

}  // namespace

int DCH_PeekFirstField(const char* message, size_t heldBytes, uint16_t* requestCode) {
  if (message == nullptr || heldBytes < DCH_MESSAGE_HEADER_SIZE) return 0;
  size_t declared = ZEV0_MessageTotalLength(message);
  size_t fieldsEnd = declared < heldBytes ? declared : heldBytes;
  const char* field = message + DCH_MESSAGE_HEADER_SIZE;
  if (fieldsEnd < DCH_MESSAGE_HEADER_SIZE + DCH_FIELD_HEADER_SIZE) return 0;
  // A field length is a big-endian word like the message's total.
  uint32_t fieldLength = ZEV0_MessageTotalLength(field);
  if (fieldLength < DCH_FIELD_HEADER_SIZE || fieldLength > fieldsEnd - DCH_MESSAGE_HEADER_SIZE) return 0;
  int dataType = static_cast<int16_t>(readBigEndian16(field + 4));
  if (dataType == DCH_requestType && fieldLength == DCH_FIELD_HEADER_SIZE + 2 && requestCode != nullptr)
    *requestCode = readBigEndian16(field + DCH_FIELD_HEADER_SIZE);
  return dataType;
}

bool DCH_ParseStatusReply(char* message, size_t heldBytes, DCHstatusReply* reply) {
  return parseStatusReply(message, heldBytes, reply, false);
}

bool DCH_ParseStatusReplyWithHandle(char* message, size_t heldBytes, DCHstatusReply* reply) {
  return parseStatusReply(message, heldBytes, reply, true);
}

bool DCH_ParseResponse(char* message, size_t heldBytes, DCHview* text) {
  DataFieldReader reader(message, heldBytes);
  return DCH_ReadText(reader, DCH_response, "DCH_response", text);
}
