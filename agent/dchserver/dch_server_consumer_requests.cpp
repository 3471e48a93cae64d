// The consumers' requests: application, help and attribute texts (0x2040, 0x2045,
// 0x2050), and the standing waits for rows (0x2060) and source status (0x2070).
// Each answers at once, parks a waiter, or (without a message) answers a parked one.
#include <cstring>
#include <string>

#include "agent_limits.h"
#include "appl_space_list.h"
#include "dc_waiting_list.h"
#include "dch/channel_functions.h"
#include "dch_messages.h"
#include "dch_server.h"
#include "field_reading.h"
#include "request_fields.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr const char* kNoName = DCwaitingList::kNoName;
constexpr size_t kStatusNoticeSize = 4096;

// The requester of the request in hand, answered by datagram whatever it came on.
WaiterReplyAddress datagramTo(const WaiterReplyAddress& requester) {
  WaiterReplyAddress to = requester;
  to.connectedSockFD = 0;
  to.connectionGeneration = 0;
  return to;
}

// Sends the text whole as a response message, in storage of the size it needs.
void sendText(DCHserver& server, const char* text, const WaiterReplyAddress& to, const char* what) {
  size_t textLength = std::strlen(text);
  size_t size = DCH_MESSAGE_HEADER_SIZE + DCH_FIELD_HEADER_SIZE + textLength;
  if (size > INT32_MAX) {
    TRC(TRC_ERROR, "Error: %s text of %zu bytes is too long to send", what, textLength);
    return;
  }
  char* reply = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(size)));
  if (reply == nullptr) {
    TRC(TRC_ERROR, "Error: allocating %d bytes for dataBuffer", static_cast<int>(size));
    return;
  }
  uint32_t length = DCH_BuildResponse(reply, size, text, static_cast<uint32_t>(textLength));
  int sent = length == 0 ? -1 : server.sendReply(reply, static_cast<int>(length), to);
  TRC(TRC_DETAIL, "%s response sent to client: %d bytes", what, sent);
  ZEV0_FreeStorage(&reply);
}

// The three get requests differ only in their text and in whether they may name
// no application at all.
struct TextRequest {
  short waiterType;
  const char* what;
  bool nameOptional;
  const char* (*lookUp)(applSpaceList& store, const char* applName);
};

const TextRequest kGetApplications{DCH_dc_getAppl, "dc_getApplications", true,
                                   [](applSpaceList& store, const char* name) { return store.getApplInfo(name); }};
const TextRequest kGetApplHelp{DCH_dc_getApplHelp, "dc_getApplHelp", false,
                               [](applSpaceList& store, const char* name) { return store.getApplHelp(name); }};
const TextRequest kGetApplAttributes{DCH_dc_getAttrInfo, "dc_getApplAttributes", false,
                                     [](applSpaceList& store, const char* name) { return store.getAttrInfo(name); }};

// Reads the application name of a get request into applName; false ends the
// request. *named is false when the request asks for every application.
bool readRequestedName(char* message, const TextRequest& request, char (&applName)[kApplNameHolder], bool* named) {
  DataFieldReader fields = requestFields(message);
  char* value;
  uint32_t length;
  int found = fields.next(&value, &length);
  *named = found == DCH_applName;
  if (!*named) {
    if (request.nameOptional) return true;
    TRC(TRC_ERROR, "Error: dataType of DCH_applName missing: %d", found);
    return false;
  }
  return takeApplName(value, length, applName);
}

// A standing wait's DCH_status: park (1) or remove (0); false (traced) when missing.
bool readWait(DataFieldReader& fields, uint32_t* wait) {
  char* value;
  uint32_t length;
  int found = fields.next(&value, &length);
  if (found != DCH_status) {
    TRC(TRC_ERROR, "Error: dataType of DCH_status missing: %d", found);
    return false;
  }
  return DCH_NumberValue(value, length, 4, "DCH_status", wait);
}

}  // namespace

namespace {

// What a consumer handler works with besides its arguments.
struct ConsumerRoad {
  DCHserver& server;
  applSpaceList& store;
  DCwaitingList& waiters;
  const WaiterReplyAddress& requester;
};

// Request role: answers at once by datagram, or parks the requester until the
// application comes online. A request for every application is not parked: no
// online could answer it.
void takeTextRequest(const ConsumerRoad& road, const TextRequest& request, char* message) {
  char applName[kApplNameHolder] = {};
  bool named = false;
  if (!readRequestedName(message, request, applName, &named)) return;
  const char* text = request.lookUp(road.store, named ? applName : nullptr);
  if (text != nullptr) {
    sendText(road.server, text, datagramTo(road.requester), request.what);
    return;
  }
  TRC(TRC_DETAIL, "No information on applName <%s>", named ? applName : "(all)");
  if (!named) return;
  if (road.waiters.parkOnce(applName, kNoName, request.waiterType, road.requester) == 0 &&
      DV_Debug() == 1)
    road.waiters.printList();
}

// Answer role: the application came online; the waiter gets the text the way it came.
void answerTextWaiter(const ConsumerRoad& road, const TextRequest& request, const char* applName,
                      const WaiterReplyAddress& waiter) {
  const char* text = applName != nullptr ? request.lookUp(road.store, applName) : nullptr;
  if (text == nullptr) {
    TRC(TRC_ERROR, "Error: redriven but no applName <%s> found.", applName != nullptr ? applName : "(null)");
    return;
  }
  sendText(road.server, text, waiter, request.what);
}

void serveTextRequest(const ConsumerRoad& road, const TextRequest& request, char* message, const char* applName,
                      const WaiterReplyAddress* waiter) {
  if (message != nullptr)
    takeTextRequest(road, request, message);
  else if (waiter != nullptr)
    answerTextWaiter(road, request, applName, *waiter);
}

}  // namespace

void DCHserver::dc_getApplications(char* message, const char* applName, const WaiterReplyAddress* waiter) {
  serveTextRequest({*this, *_buckets, *_waitList, _requester}, kGetApplications, message, applName, waiter);
}

void DCHserver::dc_getApplHelp(char* message, const char* applName, const WaiterReplyAddress* waiter) {
  serveTextRequest({*this, *_buckets, *_waitList, _requester}, kGetApplHelp, message, applName, waiter);
}

void DCHserver::dc_getApplAttributes(char* message, const char* applName, const WaiterReplyAddress* waiter) {
  serveTextRequest({*this, *_buckets, *_waitList, _requester}, kGetApplAttributes, message, applName, waiter);
}

// --- Wait on data ----------------------------------------------------------------

namespace {

// Parks (status 1) or removes (status 0) a consumer waiting for the rows of one
// application and group; no reply either way.
void takeWaitOnData(const ConsumerRoad& road, char* message) {
  DataFieldReader fields = requestFields(message);
  char* value;
  uint32_t length;
  int found = fields.next(&value, &length);
  if (found != DCH_applName) {
    TRC(TRC_ERROR, "Error: dataType of DCH_applName missing: %d", found);
    return;
  }
  char applName[kApplNameHolder];
  if (!takeApplName(value, length, applName) || !upperCaseName(applName)) return;
  char attrGroup[kAttrGroupHolder];
  if (fields.next(&value, &length) != DCH_attrGroup) {
    TRC(TRC_ERROR, "Error: dataType of DCH_attrGroup missing");
    return;
  }
  if (!takeAttrGroup(value, length, attrGroup) || !upperCaseName(attrGroup)) return;
  uint32_t wait = 0;
  if (!readWait(fields, &wait)) return;

  if (wait == DCH_WAIT_PARK) {
    if (road.waiters.parkOnce(applName, attrGroup, DCH_dc_waitOnData, road.requester) != 0)
      TRC(TRC_ERROR, "Error: Adding entry for applName <%s> attrGroup <%s>", applName, attrGroup);
    else if (DV_Debug() == 1)
      road.waiters.printList();
  } else if (wait == DCH_WAIT_REMOVE) {
    if (road.waiters.removeEntry(DCH_dc_waitOnData, applName, attrGroup) != 0)
      TRC(TRC_ERROR, "Error: removing entry for <%x> and <%s> and <%s>", DCH_dc_waitOnData, applName, attrGroup);
  } else {
    TRC(TRC_ERROR, "Error: status of <%x> unrecognizable.", wait);
  }
}

// Answer role: the source's current row, to the waiter the way it came.
void sendRow(const ConsumerRoad& road, long handle, const WaiterReplyAddress& waiter) {
  int size = Max_Values_Buf_Size();
  char* row = static_cast<char*>(ZEV0_GetStorage(size));
  if (row == nullptr) {
    TRC(TRC_ERROR, "Error: allocating %d bytes", size);
    return;
  }
  int length = road.store.getData(&row, size, static_cast<uint32_t>(handle), 1);
  if (length < 1) {
    TRC(TRC_ERROR, "Error: getData for handle %d returned %d", static_cast<int>(handle), length);
  } else {
    int sent = road.server.sendReply(row, length, waiter);
    TRC(TRC_DETAIL, "dc_waitOnData response sent to client: %d bytes", sent);
  }
  ZEV0_FreeStorage(&row);
}

}  // namespace

void DCHserver::dc_waitOnData(char* message, long handle, const WaiterReplyAddress* waiter) {
  ConsumerRoad road{*this, *_buckets, *_waitList, _requester};
  if (message != nullptr)
    takeWaitOnData(road, message);
  else if (waiter != nullptr)
    sendRow(road, handle, *waiter);
}

// --- Wait for data-provider status -----------------------------------------------

namespace {

// Answer role: one status notice, the way the waiter came.
void sendStatusNotice(DCHserver& server, const char* applName, const char* attrGroup, const char* sourceName,
                      short requestType, const WaiterReplyAddress& waiter) {
  char notice[kStatusNoticeSize] = {};
  uint32_t length =
      DCH_BuildStatusNotice(notice, sizeof notice, applName, attrGroup, sourceName, static_cast<uint16_t>(requestType));
  int sent = length == 0 ? -1 : server.sendReply(notice, static_cast<int>(length), waiter);
  TRC(TRC_DETAIL, "dc_waitForDPStatus response sent to client: %d bytes", sent);
}

// Parks (status 1) a consumer of source status changes and tells it, by datagram,
// the state of every known source; or removes (status 0) the first such consumer.
void takeWaitForDPStatus(const ConsumerRoad& road, char* message) {
  DataFieldReader fields = requestFields(message);
  uint32_t wait = 0;
  if (!readWait(fields, &wait)) return;
  if (wait == DCH_WAIT_PARK) {
    TRC(TRC_DETAIL, "Putting dc_waitForDPStatus on waiting list.");
    if (road.waiters.parkOnce(kNoName, kNoName, DCH_dc_waitForDPStatus, road.requester) != 0) {
      TRC(TRC_ERROR, "Error: Adding entry for <%x> and <%s>", DCH_dc_waitForDPStatus, kNoName);
      return;
    }
    if (DV_Debug() == 1) road.waiters.printList();
    WaiterReplyAddress replay = datagramTo(road.requester);
    road.store.sendCurrentStatus(
        [&road, &replay](const char* applName, const char* attrGroup, const char* sourceName, short requestType) {
          sendStatusNotice(road.server, applName, attrGroup, sourceName, requestType, replay);
        });
  } else if (wait == DCH_WAIT_REMOVE) {
    if (road.waiters.removeEntry(DCH_dc_waitForDPStatus, kNoName, kNoName) != 0)
      TRC(TRC_ERROR, "Error: removing entry for <%x> and <%s>", DCH_dc_waitForDPStatus, kNoName);
  } else {
    TRC(TRC_ERROR, "Error: status of <%x> unrecognizable.", wait);
  }
}

}  // namespace

void DCHserver::dc_waitForDPStatus(char* message, const char* applName, const char* attrGroup, const char* sourceName,
                                   short requestType, const WaiterReplyAddress* waiter) {
  if (message != nullptr)
    takeWaitForDPStatus({*this, *_buckets, *_waitList, _requester}, message);
  else if (waiter != nullptr && applName != nullptr && attrGroup != nullptr && sourceName != nullptr)
    sendStatusNotice(*this, applName, attrGroup, sourceName, requestType, *waiter);
}
