// The data request (0x1030): the source's handle and control value, then a name
// and a value for every attribute that holds one. Each value goes out at most at
// its declared size, which the output buffer is sized for; what still does not
// fit is refused (-1), never written past the buffer.
#include <cstring>
#include <string>

#include "application_entry.h"
#include "dch_comm.h"
#include "dch_messages.h"
#include "dch_requests.h"
#include "derived_values.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "send_order.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/storage.h"
#include "zev0/timestamp.h"

TRC_UNIT();

namespace {

constexpr int kSmallestOutputBuffer = 1024;

// Letters that travel as 2- or 4-byte numbers, and the switch, always 2 bytes.
bool isNumberLetter(char letter) {
  return letter == ZEVP_ATTR_GAUGE || letter == ZEVP_ATTR_COUNTER || letter == ZEVP_ATTR_AVERAGE ||
         letter == ZEVP_ATTR_RATE_CHANGE || letter == ZEVP_ATTR_RATE_DELTA || letter == ZEVP_ATTR_RATE_PERCENT;
}

bool isEncodable(const AttributeEntry* attribute, uint32_t length) {
  if (attribute->AttrType == ZEVP_ATTR_SWITCH) return length >= 2;
  if (isNumberLetter(attribute->AttrType)) return length == 2 || length == 4;
  return true;
}

enum class Appended { yes, skipped, full };

Appended appendPair(DCHmessageBuilder& message, const AttributeEntry* attribute, const char* value,
                    size_t valueLength) {
  auto length = static_cast<uint32_t>(std::min<size_t>(valueLength, attribute->MaxValSize));
  if (!isEncodable(attribute, length)) {
    TRC(TRC_ERROR, "*** attribute %s of type %c holds %u bytes, not sent", attribute->AttrName, attribute->AttrType,
        length);
    return Appended::skipped;
  }
  if (DCH_AddDataPair(message, attribute->AttrName, value, length, attribute->AttrType)) return Appended::yes;
  return Appended::full;
}

// The values the data provider itself gives, once an ordinary value was sent.
bool ownValue(const SourceEntry* source, const AttributeEntry* attribute, std::string* value) {
  if (std::strcmp(attribute->AttrName, "_DataSourceName") == 0) {
    *value = source->pSourceNodeName != nullptr ? source->pSourceNodeName : "";
    return true;
  }
  if (std::strcmp(attribute->AttrName, "_LocalTimeStamp") == 0) {
    char stamp[ZEV0_PLOVEN_TIME_BLOCK_SIZE] = {};
    ZEV0_GetPlovenTime(stamp);
    *value = stamp;
    return true;
  }
  return false;
}

// The attribute pairs in send order; the number counted, or -1 when the buffer is full.
int appendAttributes(DCHmessageBuilder& message, SourceEntry* source, const DPAB* anchor) {
  bool valuesSentOnce = source->Table->Application->SNMPapplication != 0 && source != anchor->logSource;
  int counted = 0;
  for (AttributeEntry* attribute = ZEVP_FirstInSendOrder(source); attribute != nullptr;
       attribute = ZEVP_NextInSendOrder(source, attribute)) {
    if (!ZEVP_IsAttributeRegistered(attribute)) continue;
    Appended appended = Appended::skipped;
    if (attribute->ActualValSize > 0) {
      appended = appendPair(message, attribute, attribute->Value(), attribute->ActualValSize);
      // Values of SNMP rows go once; the agent name stays for every row.
      if (valuesSentOnce && std::strcmp(attribute->AttrName, "Agent_Name") != 0) attribute->ActualValSize = 0;
    } else if (std::string value; counted > 0 && ownValue(source, attribute, &value)) {
      appended = appendPair(message, attribute, value.data(), value.size());
    }
    if (appended == Appended::full) return -1;
    if (appended == Appended::yes) ++counted;
  }
  return counted;
}

bool prepareOutputBuffer(SourceEntry* source) {
  if (source->OutputBuffer == nullptr) {
    int size = ZEVP_ComputeDCHbufferSize(source);
    source->OutputBuffer = static_cast<char*>(ZEV0_GetStorage(size));
    if (source->OutputBuffer == nullptr) return false;
    source->OutputBufferSize = size;
  }
  std::memset(source->OutputBuffer, 0, static_cast<size_t>(source->OutputBufferSize));
  return true;
}

// Builds the row from the source's values in its output buffer; false when there
// is nothing to send (the status then says why).
bool buildRow(SourceEntry* source, DCHcomm* comm) {
  DCHmessageBuilder message(source->OutputBuffer, static_cast<size_t>(source->OutputBufferSize));
  if (!DCH_AddDataHead(message, source->DCHhandle, static_cast<uint16_t>(source->DataSequence))) {
    ZEVP_SetDCHstatus(comm, ZEVP_DCH_SEND_FAILED);
    return false;
  }
  ZEVP_ComputeDerivedValues(source);
  if (ZEVP_DCHbypassed(comm)) {
    zevp::Routines().outputBatchDataRecord(source);
    return false;
  }
  int counted = appendAttributes(message, source, comm->Anchor);
  if (counted < 0) {
    TRC(TRC_ERROR, "*** dp_data request of source @%p does not fit its %d-byte buffer", static_cast<void*>(source),
        source->OutputBufferSize);
    ZEVP_SetDCHstatus(comm, ZEVP_DCH_SEND_FAILED);
    return false;
  }
  if (counted == 0 && source->DataSequence != DCH_EndSampleSet) {
    TRC(TRC_DETAIL, ">>>>>dp_data bypassed. No attribute loaded to transfer");
    ZEVP_SetDCHstatus(comm, DCH_STATUS_SUCCESS);
    return false;
  }
  return true;
}

}  // namespace

bool ZEVP_BuildDPdataRequest(SourceEntry* source, DCHcomm* comm) {
  if (source->Table == nullptr || source->Table->Application == nullptr) {
    TRC(TRC_ERROR, "*** source @%p belongs to no attribute group, no dp_data", static_cast<void*>(source));
    ZEVP_SetDCHstatus(comm, ZEVP_DCH_SEND_FAILED);
    return false;
  }
  if (!prepareOutputBuffer(source)) {
    TRC(TRC_ERROR, "*** unable to obtain storage for output buffer");
    ZEVP_SetDCHstatus(comm, ZEVP_DCH_SEND_FAILED);
    return false;
  }
  // Held while the row is built, so the source threads cannot change values
  // meanwhile; not while it waits for the agent, which may take long and needs
  // none of them (a resend goes from the output buffer).
  BSV1_GetLock(&source->AttributeLock);
  bool built = buildRow(source, comm);
  BSV1_ReleaseLock(&source->AttributeLock);
  return built;
}

void ZEVP_DoDPdata(SourceEntry* source, DCHcomm* comm) {
  if (!ZEVP_BuildDPdataRequest(source, comm)) return;
  TRC(TRC_DETAIL, "Sending dp_data request %d for SourceEntry object @%p", source->DCHrequestSeqNumber,
      static_cast<void*>(source));
  ZEVP_SendUntilAnswered(source, comm, source->OutputBuffer);
}

int ZEVP_ComputeDCHbufferSize(SourceEntry* source) {
  BSV1_GetLock(&source->AttributeLock);
  int64_t size = 32;
  for (const AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next)
    size += attribute->MaxValSize + static_cast<int64_t>(std::strlen(attribute->AttrName)) + 12;
  BSV1_ReleaseLock(&source->AttributeLock);
  return static_cast<int>(std::max<int64_t>(size, kSmallestOutputBuffer));
}
