// The HTTP library: clients (a protocol version and options), activities (one
// request and its reply, whose entity the activity keeps), the reply's header
// dictionary and the descriptions of statuses. Our own layer on libcurl, which it
// opens only when the first exchange needs it (vmo1_transport.h).
//
// Every call returns a status: 0, or one of the values below. An activity speaks
// http and https only, follows no redirection and answers no challenge (its caller
// does both); its exchange is bounded in time by its client's time limit and its
// entity by VMO1_ENTITY_LIMIT. A proxy comes from the usual environment
// (http_proxy, https_proxy, all_proxy, no_proxy), as libcurl reads it. Without one
// the host is looked up through the process's name service (zev0::Resolver).
#pragma once

#include <cstddef>
#include <cstdint>

struct VMO1_ClientRecord;
struct VMO1_ActivityRecord;
using VMO1_Client = VMO1_ClientRecord*;
using VMO1_Activity = VMO1_ActivityRecord*;

// Protocol versions of a client.
constexpr int32_t VMO1_HTTP10 = 1;
constexpr int32_t VMO1_HTTP11 = 2;

// Statuses.
constexpr int32_t VMO1_OK = 0;
constexpr int32_t VMO1_MOVED_TEMPORARILY = 0x3C4C8011;  // 302, 303, 307 with a location
constexpr int32_t VMO1_MOVED_PERMANENTLY = 0x1C4C8012;  // 301, 308 with a location
constexpr int32_t VMO1_INVALID_URI = 0x7C4C8004;
constexpr int32_t VMO1_UNKNOWN_AUTHORITY = 0x7C4C8005;  // the host has no address
constexpr int32_t VMO1_AUTHENTICATION_REQUIRED = 0x7C4C8017;  // 401, 407
constexpr int32_t VMO1_TOO_MANY_REDIRECTIONS = 0x7C4C801B;
constexpr int32_t VMO1_HTTP_ERROR_REPLY = 0x7C4C801C;  // any other reply that is not 2xx
constexpr int32_t VMO1_CONNECTION_ABANDONED = 0x7C4C8035;  // refused, reset, timed out, closed
constexpr int32_t VMO1_SCHEME_NOT_SUPPORTED = 0x7C4C8040;  // neither http nor https
constexpr int32_t VMO1_ENTITY_TOO_LARGE = 0x7C4C8041;
constexpr int32_t VMO1_REPLY_NOT_UNDERSTOOD = 0x7C4C8042;
constexpr int32_t VMO1_SECURE_CONNECTION_FAILED = 0x7C4C8043;
constexpr int32_t VMO1_INVALID_ARGUMENT = 0x7C4C8044;
constexpr int32_t VMO1_NO_ENTITY = 0x7C4C8045;  // the activity holds no entity (yet)
constexpr int32_t VMO1_TRANSPORT_UNAVAILABLE = 0x7C4C8046;  // libcurl could not be loaded (vmo1_transport.h)

// The largest entity an activity keeps, far above any page.
constexpr size_t VMO1_ENTITY_LIMIT = 16u << 20;

// Header codes of the dictionary (and of extra request headers).
constexpr int32_t VMO1_HEADER_OTHER = 0;
constexpr int32_t VMO1_HEADER_AUTHORIZATION = 23;  // as an extra request header: goes to a proxy only
constexpr int32_t VMO1_HEADER_LOCATION = 38;
constexpr int32_t VMO1_HEADER_WWW_AUTHENTICATE = 39;
constexpr int32_t VMO1_HEADER_SERVER = 42;
constexpr int32_t VMO1_HEADER_PROXY_AUTHENTICATE = 45;
constexpr int32_t VMO1_HEADER_STATUS_LINE = 60;

// A client's options record. The flags are kept as given.
constexpr int32_t VMO1_OPTIONS_SIZE = 400;
constexpr size_t VMO1_USER_AGENT_OFFSET = 267;
struct VMO1_Options {
  uint32_t flags;
  int32_t timeLimit;  // seconds an exchange may take; 0: no limit
  char reserved[VMO1_USER_AGENT_OFFSET - 8];
  char userAgent[VMO1_OPTIONS_SIZE - VMO1_USER_AGENT_OFFSET];  // NUL-terminated
};
static_assert(sizeof(VMO1_Options) == VMO1_OPTIONS_SIZE, "the options record");

// The reply's headers. The value of entry i is hinStrLen bytes (and a NUL) at
// hdiStrCeiling - hdiinfo[i].hinStrOffset; hinLink is the index of the next entry
// of the same code, -1 for none; hdiindex[i] is i.
struct VMO1_HeaderInfo {
  int32_t hinCode;
  int32_t hinStrOffset;
  int32_t hinStrLen;
  int32_t hinLink;
};
struct VMO1_HeaderDictionary {
  int32_t hdiCount;
  VMO1_HeaderInfo* hdiinfo;
  int32_t* hdiindex;
  const char* hdiStrCeiling;
};

// An extra request header: its code, length and value.
struct VMO1_ExtraHeader {
  int32_t code;
  int32_t length;
  const char* value;
};

// A status's description: its text and, for a status of an HTTP reply, the reply's
// code (the calling thread's last reply) with the code's standard reason phrase as
// its text; 0 otherwise.
constexpr int32_t VMO1_STATUS_DESCRIPTION_SIZE = 24;
struct VMO1_StatusDescription {
  const char* text;  // static storage
  int32_t textLength;
  int32_t httpCode;
  int64_t reserved;
};
static_assert(sizeof(VMO1_StatusDescription) == VMO1_STATUS_DESCRIPTION_SIZE, "the description record");

// A new client of the version (VMO1_HTTP10 or VMO1_HTTP11) with default options;
// the client is null after a failure. The two further words must be 0.
int32_t VMO1_NewClient(VMO1_Client* client, int32_t version, int32_t, int32_t);
// size must be VMO1_OPTIONS_SIZE. With newOptions null the current options are
// copied to currentOptions; else newOptions replaces them (and, with
// currentOptions not null, the options before go there first). A null client is
// the library's default client, whose options cannot be set.
int32_t VMO1_ClientOptions(VMO1_Client client, int32_t size, const void* newOptions, void* currentOptions);
int32_t VMO1_DeleteClient(VMO1_Client client);

// A new activity for the URL (urlLength characters) with the client's version and
// options (a null client: the default client, HTTP 1.1) and the extra headers.
int32_t VMO1_NewActivity(VMO1_Client client, VMO1_Activity* activity, const char* url, int32_t urlLength, int32_t,
                         int32_t headerCount, const VMO1_ExtraHeader* headers);
// Sends the request and reads the whole reply. 0 for a 2xx reply, whose entity
// the activity then keeps; else a status. *dictionary is the reply's headers in
// either case (empty without a reply), valid until the activity is deleted.
int32_t VMO1_RequestActivity(VMO1_Activity activity, VMO1_HeaderDictionary** dictionary);
// The kept entity's length; the second value is 0.
int32_t VMO1_OpenEntity(VMO1_Activity activity, int32_t* contentLength, int32_t* information);
// Copies the entity from its start into the buffer, at most *length bytes;
// *length becomes the bytes copied.
int32_t VMO1_Get(VMO1_Activity activity, void* buffer, int32_t* length);
int32_t VMO1_DeleteActivity(VMO1_Activity activity);

// Describes the status (size must be VMO1_STATUS_DESCRIPTION_SIZE): 0 when it is
// known.
int32_t VMO1_QueryStatus(int32_t size, VMO1_StatusDescription* description, int32_t status);
