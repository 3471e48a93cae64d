// The DCH verbs as plain functions of the channel library, so that callers need neither the
// DCHclient class nor its transport. A single call makes a temporary client (its UDP socket
// borrowed from the process's pool, so the pool size bounds the calls in progress at once)
// and destroys it afterwards; a standing wait makes a long-lived client and hands it out as an
// opaque handle, which its destroy call takes back.
//
// The single calls return the verb's result (dch_client.h), or 1 when no client could be made
// (their out-parameters then keep what they hold, unless said otherwise).
#pragma once

class DCHclient;

// --- Lock set-up (dch_api_waits.cpp) -------------------------------------------------------

// Makes the library's three locks; later calls do nothing. Once at start-up, from one thread,
// before the first standing wait.
void DCH_api_init();
// Destroys the locks that DCH_api_init made. Once at shut-down, after the last standing wait.
void DCH_api_destroy();

// --- Data-provider verbs (dch_api_single_calls.cpp) ----------------------------------------

int dp_register(long* status, const char* metafileName);
int dp_online(long* status, long* handle, const char* applName, const char* attrGroup, const char* sourceName);
// The work buffer belongs to the caller between calls; dp_data (or dp_actionData) frees it.
int dp_formatData(long* status, char** workBuffer, long* size, const char* attrName, const void* attrValue,
                  long valueSize, char attrType);
int dp_data(long* status, long handle, short controlField, char** workBuffer);
// As dp_data, waiting readTimeout seconds for the status reply (0: the DCH time-out), and
// waiting again after a time-out only when retryRead is non-zero.
int dp_actionData(long* status, long handle, short controlField, char** workBuffer, short readTimeout,
                  short retryRead);
int dp_offline(long* status, long handle);
int dp_unregister(long* status, const char* applName);
// Unfinished verbs: nothing is sent.
int dp_cancel(long* status, long handle);
void dp_waitForAction(long actionType);
void dp_provideActionResults(long actionID, long actionStatus);
void DCH_shutdown(int how);

// --- Consumer verbs (dch_api_single_calls.cpp) ---------------------------------------------

// 0 with the response text (NUL-terminated, to be freed with free) in *buffer and its length
// in *length; 1 with *buffer null and *length 0 when there is no text (also an empty one).
// wait: seconds for the reply, 0 without limit. A null applName asks for every application.
int dc_getApplications(int* length, char** buffer, const char* applName, short wait);
int dc_getApplAttributes(int* length, char** buffer, const char* applName, short wait);
int dc_getApplHelp(int* length, char** buffer, const char* applName, short wait);
// Hands an action to the server (no reply): 0 sent, 1 not.
int dc_provideAction(short actionType, const char* actionOwner, const char* actionNode, const char* subNode,
                     const char* actionName, long actionID, const char* actionParms);
// The action's status code, -1 when it could not be had, 1 when no client could be made.
long dc_waitForActionResults(long actionID);

// --- Standing waits (dch_api_waits.cpp) ----------------------------------------------------

// A wait for rows of the application and group: the handle, or null. One thread waits on it;
// another may cancel it; the waiting thread then destroys it.
DCHclient* dc_waitOnDataInitialize(const char* applName, const char* attrGroup);
// 0 a row message (total length word included) is in buffer, -1 cancelled (buffer holds the
// interrupt message), 1 failure or null handle.
int dc_waitOnData(DCHclient* handle, char* buffer, short buflen);
// 0 the interrupt was sent, 1 failure or null handle.
int dc_waitOnDataCancel(DCHclient* handle);
// Removes the wait at the server and destroys the handle: 0 removed, 1 failure or null handle.
int dc_waitOnDataDestroy(DCHclient* handle);
// Removes the wait at the server, keeping the handle, and hands over a row message that had
// already come, without waiting: 0 one is in buffer (call again for the next), 1 none is
// left, failure or null handle. A destroy after it removes nothing more.
int dc_waitOnDataWithdraw(DCHclient* handle, char* buffer, short buflen);

// A wait for source status notices: the handle, or null.
DCHclient* dc_waitForDPStatusInitialize();
// Waits without limit for the next notice: "appl,group,source,code" in a library buffer that
// the next call from any thread overwrites; null after a failure or for a null handle.
char* dc_waitForDPStatus(DCHclient* handle);
// Removes the wait at the server and destroys the handle: 0 removed, 1 failure or null handle.
int dc_waitForDPStatusDestroy(DCHclient* handle);
