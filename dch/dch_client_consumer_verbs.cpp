// The consumer verbs of the DCH client that are single exchanges: the get requests with their
// response text, handing an action over, and asking for an action's status.
#include <cstdlib>
#include <cstring>

#include "dch/dch_client.h"
#include "dch/ipc_sock.h"
#include "dch_message_parser.h"
#include "dch_messages.h"
#include "trc1.h"
#include "zev/action_codes.h"

TRC_UNIT();

int DCHclient::dc_getApplications(char** buffer, const char* applName, int wait) {
  if (!usable(nullptr)) return 0;
  clearRequest();
  uint32_t length = DCH_BuildGetAppl(_requestBuffer, sizeof _requestBuffer, applName);
  return fetchText(buffer, length, wait, "Error: writing dc_getApplications message to DCHserver", nullptr);
}

int DCHclient::dc_getApplAttributes(char** buffer, const char* applName, int wait) {
  if (!usable(nullptr)) return 0;
  clearRequest();
  uint32_t length = DCH_BuildGetAttrInfo(_requestBuffer, sizeof _requestBuffer, applName);
  return fetchText(buffer, length, wait, "Error: writing dc_getApplAttributes message to DCHserver",
                   "Error: while waiting for dc_getApplAttributes response.");
}

int DCHclient::dc_getApplHelp(char** buffer, const char* applName, int wait) {
  if (!usable(nullptr)) return 0;
  clearRequest();
  uint32_t length = DCH_BuildGetApplHelp(_requestBuffer, sizeof _requestBuffer, applName);
  return fetchText(buffer, length, wait, "Error: writing dc_getApplHelp message to DCHserver",
                   "Error: while waiting for dc_getApplHelp response.");
}

// Sends the get request in _requestBuffer and takes the response text. readError null: the
// read failure is traced with the wait.
int DCHclient::fetchText(char** buffer, uint32_t length, int wait, const char* writeError, const char* readError) {
  if (!writeRequest(_requestBuffer, length)) {
    TRC(TRC_ERROR, "%s", writeError);
    failWith(1);
    return 0;
  }
  if (!readReply(wait)) {
    if (readError != nullptr)
      TRC(TRC_ERROR, "%s", readError);
    else
      TRC(TRC_ERROR, "Error: ipcRead with wait[%d] failed", wait);
    failWith(1);
    return 0;
  }
  int textLength = copyResponse(buffer);
  dropReply();
  return textLength;
}

// The DCH_response of the reply in a new NUL-terminated block stored through buffer.
int DCHclient::copyResponse(char** buffer) {
  DCHview text;
  if (!DCH_ParseResponse(_readBuffer, replyLength(), &text)) {
    failWith(1);
    return 0;
  }
  char* copy = static_cast<char*>(calloc(static_cast<size_t>(text.length) + 1, 1));
  *buffer = copy;
  if (copy == nullptr) {
    TRC(TRC_ERROR, "Error: allocating %d bytes for buffer", static_cast<int>(text.length + 1));
    failWith(DCHCLIENT_NO_STORAGE);
    return 0;
  }
  memcpy(copy, text.data, text.length);
  return static_cast<int>(text.length);
}

int DCHclient::dc_provideAction(short actionType, const char* actionOwner, const char* actionNode,
                                const char* subNode, const char* actionName, long actionID,
                                const char* actionParms) {
  if (!usable(nullptr)) return _error;
  DCHaction action;
  action.actionType = static_cast<uint16_t>(actionType);
  action.owner = actionOwner;
  action.node = actionNode;
  action.subNode = subNode;
  action.name = actionName;
  action.actionID = static_cast<uint32_t>(actionID);
  action.parms = actionParms;
  clearRequest();
  uint32_t length = DCH_BuildConsumerProvideAction(_requestBuffer, sizeof _requestBuffer, action);
  if (!writeRequest(_requestBuffer, length)) {
    TRC(TRC_ERROR, "Error: writing dc_provideAction message to DCHserver");
    return failWith(1);
  }
  return _error;
}

long DCHclient::dc_waitForActionResults(long actionID) {
  if (!usable(nullptr)) return -1;
  clearRequest();
  uint32_t length = DCH_BuildWaitForActionResults(_requestBuffer, sizeof _requestBuffer,
                                                  static_cast<uint32_t>(actionID));
  if (!writeRequest(_requestBuffer, length)) {
    TRC(TRC_ERROR, "Error: writing dc_waitForActionResults message to DCHserver");
    failWith(1);
    return -1;
  }
  long actionStatus = 0;
  awaitStatus(&actionStatus, _DCHtimeout, 0, nullptr);
  if (_error != 0) return -1;
  // No outcome yet: the server parked this socket for every later result.
  if (actionStatus == ZEV_ACTION_STATUS_UNKNOWN && _ipcType == kSocketsIPC)
    static_cast<ipcSock*>(_ipcClient)->retireSocket();
  return actionStatus;
}
