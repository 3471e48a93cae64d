/* The client API: a user program feeds rows to the API data provider with these calls.
 * Every dp_ call returns 1 for success and 0 for failure and stores a status code, an
 * index of the message catalogue API_Message (0 success), through its last argument
 * when that is not null. The library has no threads and takes no locks. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

struct sockaddr;

/* Records of the library; their fields are the library's own. */
typedef struct APIanchor APIanchor;
typedef struct APIhandle APIhandle;
typedef struct APIbuffer APIbuffer;

/* The process's anchor: null until a call first needs it, then kept to the end. */
extern APIanchor* DPAA;
/* Set by ZEVP_API_BYPASS_VAL=Y: most calls then skip looking handles and buffers up. */
extern int BypassInputValidation;
/* The insert of the next message shown (the host name for 8, "NULL" for 2); empty: none. */
extern char Common_SubText[80];
/* The local host name, when ZEVP_API_DPAPI_HOST does not name the data provider's host. */
extern char NameString[256];
/* The message texts by status code; entry 100 stands for every code outside 0-99. */
extern const char* const API_Message[101];
/* The console port of control requests: ZEVP_DPCONSOLE_PORT, else 7700, set by the
 * first control request; a request left unanswered switches 7700 and 7703 for good. */
extern short CMDport;

/* The request tags of the data requests, by index. */
enum {
  ZEVP_API_REQUEST_NONE = 0,
  ZEVP_API_BGNINP = 1,
  ZEVP_API_ENDINP = 2,
  ZEVP_API_BGNROW = 3,
  ZEVP_API_ENDROW = 4,
  ZEVP_API_SNDDTA = 5,
  ZEVP_API_ACCREQ = 6,
  ZEVP_API_RCVREQ = 7,
  ZEVP_API_RESULT = 8,
  ZEVP_API_SETSRC = 9
};

/* Value types of dp_FormatBufferData: a binary integer of 2 or 4 bytes written in
 * decimal, or text (any other type counts as text). */
enum { ZEVP_API_BINARY_INTEGER = 1, ZEVP_API_TEXT = 3 };

/* The anchor and the data provider's address. */
int ZEVP_InitializeAPIanchor(int* status);
int ZEVP_GetAPIdpAddr(struct sockaddr* out);
int ZEVP_APIU_InitWinSock(void);

/* Handles. */
APIhandle* dp_AllocateHandle(int* status);
int dp_FreeHandle(APIhandle* handle, int* status);
int dp_ResetHandle(APIhandle* handle, int* status);
int ZEVP_ValidateAPIhandle(APIhandle* handle);

/* Buffers: userBuffer is the data pointer that dp_AllocateBuffer hands out. */
int dp_AllocateBuffer(APIhandle* handle, void** userBuffer, int requestSize, int* status);
int dp_ClearBuffer(void* userBuffer, int* status);
int dp_FreeBuffer(void* userBuffer, int* status);
int dp_FormatBufferData(void* userBuffer, const void* data, int dataSize, int dataType, int* status);
int ZEVP_ValidateAPIbuffer(APIbuffer* block);
void ZEVP_SetAPIbufferRequest(void* userBuffer, int requestIndex);

/* Sockets. */
int ZEVP_OpenSocket(int type);
int ZEVP_CloseSocket(int socket);

/* Data requests. */
int ZEVP_SendReceiveAPIApplicationRequest(void* userBuffer, int receiveOnly, int waitForData, int* status);
int ZEVP_SendReceiveAPIdataViaSock(APIbuffer* block, int receiveOnly, int waitForData);
int ZEVP_SendReceiveAPIdataViaRPC(APIbuffer* block, int receiveOnly, int waitForData);
int dp_BeginInput(APIhandle* handle, const char* applName, const char* attrGroup, int* status);
int dp_EndInput(APIhandle* handle, int* status);
int dp_BeginSample(APIhandle* handle, int* status);
int dp_EndSample(APIhandle* handle, int* status);
int dp_InputData(void* userBuffer, int* status);
int dp_SetSourceName(APIhandle* handle, const char* sourceName, int* status);
int dp_RecvReply(void* userBuffer, int* dataSize, int* status);

/* TCP sessions: requests of a connected handle wait for their replies without limit,
 * until the session is closed (also by dp_ResetHandle and dp_FreeHandle). */
int dp_OpenSession(APIhandle* handle, int* status);
int dp_CloseSession(APIhandle* handle, int* status);
int ZEVP_OpenTCP(APIhandle* handle);
int ZEVP_OpenRPC(APIhandle* handle);

/* Request serving: accept the data provider's requests (with a handle, on it; without,
 * on every handle), fetch the outstanding one, answer it. A request text arrives with a
 * terminator, cut to bufferSize - 1 characters (83); a result is sent to its first 256
 * bytes (84). */
int dp_AcceptRequest(APIhandle* handle, int enableReply, int replyWaitTime, int* status);
int dp_ReceiveRequest(APIhandle* handle, int sync, char* userBuffer, int bufferSize, int* reqID, int* receivedSize,
                      int* status);
int dp_SendRequestResult(APIhandle* handle, int* reqID, char* resultBuffer, int resultSize, int* status);

/* Control requests to the console port: the reply's code, or a client status. The
 * reply's parameter goes to replyParm when given: at most 79 characters and a
 * terminator, so an area of 80 holds it. */
int ZEVP_SendReceiveAPIcontrolRequest(const char* request, char* replyParm, int waitFactor);
int ZEVP_SendReceiveAPIcontrolViaSock(const char* request, char* replyParm, int waitFactor);
int ZEVP_SendReceiveAPIcontrolViaRPC(const char* request, char* replyParm, int waitFactor);
/* PING: replyParm, when given, receives the data provider's start stamp (80 bytes). */
int dp_CheckAPIserverStatus(int* status, char* replyParm);
int dp_Ping(int* status);
/* Load or refresh a metafile at the console; acceptOK takes an application the agent
 * knows already. */
int dp_Define(const char* metafile, int acceptOK, int* status);
int dp_Redefine(const char* metafile, int acceptOK, int* status);

/* The command environment file ./ZEVPINIT: session keys by application and group. */
void dp_GetCommandEnvironment(APIhandle* handle, const char* appID, const char* stamp);
void dp_SaveCommandEnvironment(APIhandle* handle, const char* appID);
void dp_ClearCommandEnvironment(APIhandle* handle);

/* The message of a status code, into msgBuffer or, when that is null, on standard output. */
void dp_ShowMessage(int msgID, char* msgBuffer, int bufferSize);

/* Character code of requests and replies, in place. */
void ZEVP_ConvertBufferToNetwork(char* buffer, int length);
void ZEVP_ConvertBufferToLocal(char* buffer, int length, int asciiInput);

#ifdef __cplusplus
}
#endif
