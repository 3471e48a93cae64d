// The data-provider verbs of the DCH client: register, online, the data request built in
// steps and sent, offline and unregister, and the verbs that send nothing.
#include <cstdlib>
#include <cstring>

#include "dch/dch_client.h"
#include "dch/dp_register_buffer.h"
#include "dch_messages.h"
#include "trc1.h"
#include "zev0/storage.h"
#include "zev0/typed_field.h"

TRC_UNIT();

// Weak: only a program that carries the data-provider engine has the builder. Without it the
// register verb fails like a metafile that gave no request.
int ZEVP_ConstructDPregisterBuffer(const char* metafileName, char** body) __attribute__((weak));

namespace {

const char* shown(const char* text) { return text != nullptr ? text : "(null)"; }

// The register request of the metafile in a storage block, and its length; 0 when there is
// none, or when the block does not hold the length it claims.
uint32_t registerBody(const char* metafileName, char** body) {
  if (ZEVP_ConstructDPregisterBuffer == nullptr) {
    TRC(TRC_ERROR, "Error: this program has no register-body builder");
    return 0;
  }
  int length = ZEVP_ConstructDPregisterBuffer(metafileName, body);
  if (length <= 0 || *body == nullptr) return 0;
  if (ZEV0_MessageTotalLength(*body) != static_cast<uint32_t>(length)) {
    TRC(TRC_ERROR, "Error: register body of %d bytes declares %u", length, ZEV0_MessageTotalLength(*body));
    ZEV0_FreeStorage(body);
    return 0;
  }
  return static_cast<uint32_t>(length);
}

// A data request with its head (placeholders for the handle and control field) in a
// DCH_REQUEST_BUFFER_SIZE block, or the one under construction there.
DCHmessageBuilder dataRequest(char* workBuffer, long size) {
  if (size != 0) return DCHmessageBuilder::resume(workBuffer, DCH_REQUEST_BUFFER_SIZE);
  DCHmessageBuilder request(workBuffer, DCH_REQUEST_BUFFER_SIZE);
  DCH_AddDataHead(request, 0, DCH_SingleRow);
  return request;
}

}  // namespace

int DCHclient::dp_register(long* status, const char* metafileName) {
  if (!usable(status)) return _error;
  char* body = nullptr;
  uint32_t length = registerBody(metafileName, &body);
  if (length == 0) {
    TRC(TRC_ERROR, "Error: ZEVP_ConstructDPregisterBuffer failed: [%s]", shown(metafileName));
    return fail(status, DCHCLIENT_STATUS_REFUSED);
  }
  bool written = writeRequest(body, length);
  ZEV0_FreeStorage(&body);
  if (!written) {
    TRC(TRC_ERROR, "Error: writing dp_register message to DCHserver for [%s]", shown(metafileName));
    return fail(status, DCHCLIENT_STATUS_NOT_SENT);
  }
  return awaitStatus(status, _DCHtimeout, DCHCLIENT_STATUS_NOT_SENT, nullptr);
}

int DCHclient::dp_online(long* status, long* handle, const char* applName, const char* attrGroup,
                         const char* sourceName) {
  if (!usable(status)) return _error;
  if (applName == nullptr || attrGroup == nullptr || sourceName == nullptr) {
    TRC(TRC_ERROR, "Error: applName/attrGroup/sourceName were NULL");
    return fail(status, DCHCLIENT_STATUS_NAME_MISSING);
  }
  size_t applLength = strlen(applName);
  size_t groupLength = strlen(attrGroup);
  size_t sourceLength = strlen(sourceName);
  if (applLength > DCH_MAX_APPL_NAME || groupLength > DCH_MAX_ATTR_GROUP || sourceLength > DCH_MAX_SOURCE_NAME) {
    TRC(TRC_ERROR, "Error: max length exceeded: applName[%d] attrGroup[%d] sourceName[%d]",
        static_cast<int>(applLength), static_cast<int>(groupLength), static_cast<int>(sourceLength));
    return fail(status, DCHCLIENT_STATUS_REFUSED);
  }
  clearRequest();
  uint32_t length = DCH_BuildOnline(_requestBuffer, sizeof _requestBuffer, applName, attrGroup, sourceName);
  if (!writeRequest(_requestBuffer, length)) {
    TRC(TRC_ERROR, "Error: writing dp_online message to DCHserver");
    return fail(status, DCHCLIENT_STATUS_NOT_SENT);
  }
  long newHandle = 0;
  int result = awaitStatus(status, _DCHtimeout, DCHCLIENT_STATUS_NOT_SENT, &newHandle);
  if (result < 1 && handle != nullptr) *handle = newHandle;
  return result;
}

int DCHclient::dp_formatData(long* status, char** workBuffer, long* size, const char* attrName,
                             const void* attrValue, long valueSize, char attrType) {
  if (!usable(status) || valueSize <= 0) return _error;
  if (workBuffer == nullptr || size == nullptr) {
    TRC(TRC_ERROR, "Error: no workBuffer to format into.");
    return fail(status, DCHCLIENT_STATUS_NO_WORK_BUFFER);
  }
  if (*workBuffer == nullptr) {
    *size = 0;
    *workBuffer = static_cast<char*>(calloc(DCH_REQUEST_BUFFER_SIZE, 1));
    if (*workBuffer == nullptr) {
      TRC(TRC_ERROR, "Error: allocation for workBuffer failed.");
      return fail(status, DCHCLIENT_STATUS_NO_WORK_BUFFER);
    }
  }
  DCHmessageBuilder request = dataRequest(*workBuffer, *size);
  // Refused whole: the caller may still send what fits, or start again.
  if (valueSize > static_cast<long>(DCH_REQUEST_BUFFER_SIZE) ||
      !DCH_AddDataPair(request, attrName, attrValue, static_cast<uint32_t>(valueSize), attrType)) {
    TRC(TRC_ERROR, "Error: attribute [%s] of %ld bytes does not fit the data request of %ld bytes", shown(attrName),
        valueSize, *size);
    if (status != nullptr) *status = DCHCLIENT_STATUS_REFUSED;
    return _error;
  }
  *size = request.length();
  return _error;
}

int DCHclient::dp_data(long* status, long handle, short controlField, char** workBuffer) {
  if (!usable(status)) return _error;
  if (workBuffer == nullptr || *workBuffer == nullptr) {
    TRC(TRC_ERROR, "Error: freeing workBuffer storage.");
    return fail(status, DCHCLIENT_STATUS_NO_WORK_BUFFER);
  }
  uint32_t length = ZEV0_MessageTotalLength(*workBuffer);
  bool written = length <= DCH_REQUEST_BUFFER_SIZE &&
                 DCH_SetDataHead(*workBuffer, length, static_cast<uint32_t>(handle),
                                 static_cast<uint16_t>(controlField)) &&
                 writeRequest(*workBuffer, length);
  free(*workBuffer);
  *workBuffer = nullptr;
  if (!written) {
    TRC(TRC_ERROR, "Error: writing dp_data message to DCHserver");
    return fail(status, DCHCLIENT_STATUS_NOT_SENT);
  }
  return awaitStatus(status, _ipcReadTimeout, DCHCLIENT_STATUS_REFUSED, nullptr);
}

int DCHclient::dp_offline(long* status, long handle) {
  if (!usable(status)) return _error;
  clearRequest();
  uint32_t length = DCH_BuildOffline(_requestBuffer, sizeof _requestBuffer, static_cast<uint32_t>(handle));
  return sendAndAwaitStatus(status, length, "Error: writing dp_offline message to DCHserver",
                            DCHCLIENT_STATUS_REFUSED);
}

int DCHclient::dp_unregister(long* status, const char* applName) {
  if (!usable(status)) return _error;
  clearRequest();
  uint32_t length = DCH_BuildUnregister(_requestBuffer, sizeof _requestBuffer, applName);
  return sendAndAwaitStatus(status, length, "Error: writing dp_unregister message to DCHserver",
                            DCHCLIENT_STATUS_REFUSED);
}

int DCHclient::dp_cancel(long* status, long /*handle*/) {
  if (usable(status)) TRC(TRC_ERROR, "Error: dp_cancel is not available: nothing sent");
  return _error;
}

void DCHclient::dp_waitForAction(long /*actionType*/) {
  if (usable(nullptr)) TRC(TRC_ERROR, "Error: dp_waitForAction is not available: nothing sent");
}

void DCHclient::dp_provideActionResults(long /*actionID*/, long /*actionStatus*/) {
  if (usable(nullptr)) TRC(TRC_ERROR, "Error: dp_provideActionResults is not available: nothing sent");
}

void DCHclient::shutdown(int /*how*/) {
  if (usable(nullptr)) TRC(TRC_ERROR, "Error: shutdown is not available: nothing sent");
}
