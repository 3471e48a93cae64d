// The exported single calls: each makes a temporary DCH client (pooled UDP socket, no
// interrupt socket), calls the verb of the same name and destroys the client.
#include <cstdlib>
#include <memory>
#include <new>

#include "dch/dch_api.h"
#include "dch/dch_client.h"
#include "trc1.h"

TRC_UNIT();

namespace {

// A client for one call; null (traced with noClientText when given) when none could be made.
std::unique_ptr<DCHclient> temporaryClient(const char* noClientText = nullptr) {
  std::unique_ptr<DCHclient> client(new (std::nothrow) DCHclient(0, 1));
  if (client == nullptr && noClientText != nullptr) TRC(TRC_ERROR, "%s", noClientText);
  return client;
}

using GetVerb = int (DCHclient::*)(char**, const char*, int);

int getText(int* length, char** buffer, const char* applName, short wait, GetVerb verb, const char* failedText) {
  if (length == nullptr || buffer == nullptr) return 1;
  *length = 0;
  *buffer = nullptr;
  std::unique_ptr<DCHclient> client = temporaryClient("Error: allocating DCHclient.");
  if (client == nullptr) return 1;
  *length = ((*client).*verb)(buffer, applName, wait);
  if (*length > 0) return 0;
  TRC(TRC_ERROR, "%s", failedText);
  // An empty text still came in a block of its own.
  free(*buffer);
  *buffer = nullptr;
  *length = 0;
  return 1;
}

}  // namespace

int dp_register(long* status, const char* metafileName) {
  std::unique_ptr<DCHclient> client = temporaryClient();
  return client != nullptr ? client->dp_register(status, metafileName) : 1;
}

int dp_online(long* status, long* handle, const char* applName, const char* attrGroup, const char* sourceName) {
  std::unique_ptr<DCHclient> client = temporaryClient();
  return client != nullptr ? client->dp_online(status, handle, applName, attrGroup, sourceName) : 1;
}

int dp_formatData(long* status, char** workBuffer, long* size, const char* attrName, const void* attrValue,
                  long valueSize, char attrType) {
  std::unique_ptr<DCHclient> client = temporaryClient();
  return client != nullptr
             ? client->dp_formatData(status, workBuffer, size, attrName, attrValue, valueSize, attrType)
             : 1;
}

int dp_data(long* status, long handle, short controlField, char** workBuffer) {
  std::unique_ptr<DCHclient> client = temporaryClient();
  return client != nullptr ? client->dp_data(status, handle, controlField, workBuffer) : 1;
}

int dp_actionData(long* status, long handle, short controlField, char** workBuffer, short readTimeout,
                  short retryRead) {
  std::unique_ptr<DCHclient> client = temporaryClient();
  if (client == nullptr) return 1;
  client->setReadTimeout(readTimeout);
  client->setRetryRead(retryRead);
  return client->dp_data(status, handle, controlField, workBuffer);
}

int dp_offline(long* status, long handle) {
  std::unique_ptr<DCHclient> client = temporaryClient();
  return client != nullptr ? client->dp_offline(status, handle) : 1;
}

int dp_unregister(long* status, const char* applName) {
  std::unique_ptr<DCHclient> client = temporaryClient();
  return client != nullptr ? client->dp_unregister(status, applName) : 1;
}

int dp_cancel(long* status, long handle) {
  std::unique_ptr<DCHclient> client = temporaryClient();
  return client != nullptr ? client->dp_cancel(status, handle) : 1;
}

void dp_waitForAction(long actionType) {
  std::unique_ptr<DCHclient> client = temporaryClient("Error: failed to instantiate DCHclient.");
  if (client != nullptr) client->dp_waitForAction(actionType);
}

void dp_provideActionResults(long actionID, long actionStatus) {
  std::unique_ptr<DCHclient> client = temporaryClient("Error: failed to instantiate DCHclient.");
  if (client != nullptr) client->dp_provideActionResults(actionID, actionStatus);
}

void DCH_shutdown(int how) {
  std::unique_ptr<DCHclient> client = temporaryClient();
  if (client != nullptr) client->shutdown(how);
}

int dc_getApplications(int* length, char** buffer, const char* applName, short wait) {
  return getText(length, buffer, applName, wait, &DCHclient::dc_getApplications,
                 "Error: dc_getApplications failed.");
}

int dc_getApplAttributes(int* length, char** buffer, const char* applName, short wait) {
  return getText(length, buffer, applName, wait, &DCHclient::dc_getApplAttributes,
                 "Error: dc_getApplAttributes failed.");
}

int dc_getApplHelp(int* length, char** buffer, const char* applName, short wait) {
  return getText(length, buffer, applName, wait, &DCHclient::dc_getApplHelp, "Error: dc_getApplHelp failed.");
}

int dc_provideAction(short actionType, const char* actionOwner, const char* actionNode, const char* subNode,
                     const char* actionName, long actionID, const char* actionParms) {
  std::unique_ptr<DCHclient> client = temporaryClient("Error: allocating DCHclient.");
  if (client == nullptr) return 1;
  int result = client->dc_provideAction(actionType, actionOwner, actionNode, subNode, actionName, actionID,
                                        actionParms);
  if (result != 0) TRC(TRC_ERROR, "Error: dc_provideAction failed.");
  return result;
}

long dc_waitForActionResults(long actionID) {
  std::unique_ptr<DCHclient> client = temporaryClient("Error: allocating DCHclient.");
  return client != nullptr ? client->dc_waitForActionResults(actionID) : 1;
}
