#include "proxy_client.h"

#include <cstring>

#include "rpc_client.h"
#include "rpc_frame.h"

namespace {

// Sends the body and reads the 32-bit status that ends every reply; a failure is
// raised and stored as the status. The reader of the rest of the reply is left at
// the status's start when readBefore is given.
void CallAndReadStatus(rpc__handle_t binding, uint32_t operation, bool idempotent, const rpc::BodyWriter& body,
                       int32_t* status, void (*readBefore)(rpc::BodyReader&, void*) = nullptr,
                       void* context = nullptr) {
  rpc::Reply reply;
  rpc__status_t fault = rpc::Call(binding, RAF_Proxy_v131_if_spec, operation, idempotent, body, &reply);
  rpc::BodyReader answer(reply.body.data(), reply.body.size(), reply.drep);
  if (fault == rpc__s_ok) {
    if (readBefore != nullptr) readBefore(answer, context);
    answer.align(4);
    int32_t agentStatus = static_cast<int32_t>(answer.getU32());
    fault = answer.fault();
    if (fault == rpc__s_ok) {
      *status = agentStatus;
      return;
    }
  }
  *status = static_cast<int32_t>(fault);
  exc__raise(fault);
}

}  // namespace

void RAF_NCS_Register(rpc__handle_t binding, const char* managedSystemName, const char* affinity, int32_t number,
                      int32_t version, int32_t trailingNumber, int32_t* status) {
  rpc::BodyWriter body(rpc::BindingDrep(binding));
  body.putCountedString(managedSystemName, RAF_REGISTER_NAME_MAX);
  body.putCountedString(affinity, RAF_REGISTER_AFFINITY_MAX);
  body.align(4);
  body.putU32(static_cast<uint32_t>(number));
  body.putU32(static_cast<uint32_t>(version));
  body.putU32(static_cast<uint32_t>(trailingNumber));
  CallAndReadStatus(binding, RAF_NCS_Register_opnum, false, body, status);
}

void RAF_NCS_Stopped(rpc__handle_t binding, const RAF_RequestId_t* request, int32_t number, int32_t* status) {
  rpc::BodyWriter body(rpc::BindingDrep(binding));
  body.putU32(static_cast<uint32_t>(request->word[0]));
  body.putU32(static_cast<uint32_t>(request->word[1]));
  body.putU32(static_cast<uint32_t>(number));
  CallAndReadStatus(binding, RAF_NCS_Stopped_opnum, false, body, status);
}

void RAF_NCS_Sample(rpc__handle_t binding, const RAF_SampleRecord_t* sample, int32_t* status) {
  rpc::BodyWriter body(rpc::BindingDrep(binding));
  int32_t dataCount = sample->word[0];
  if (dataCount < 0 || dataCount > RAF_SAMPLE_DATA_MAX) body.fail(rpc__s_array_bound);
  for (int32_t word : sample->word) body.putU32(static_cast<uint32_t>(word));
  if (body.fault() == rpc__s_ok) body.putBytes(sample->data, static_cast<size_t>(dataCount));
  CallAndReadStatus(binding, RAF_NCS_Sample_opnum, false, body, status);
}

void RAF_NCS_Subnode_Request(rpc__handle_t binding, const char name[RAF_SUBNODE_NAME_SIZE], int16_t listLength,
                             const char* list, const char affinity[RAF_SUBNODE_AFFINITY_SIZE],
                             const char reserved[RAF_SUBNODE_RESERVED_SIZE],
                             const char version[RAF_SUBNODE_VERSION_SIZE],
                             const char trailer[RAF_SUBNODE_TRAILER_SIZE], int32_t* status) {
  rpc::BodyWriter body(rpc::BindingDrep(binding));
  body.putChars(name, RAF_SUBNODE_NAME_SIZE);
  if (listLength < 0 || strnlen(list, static_cast<size_t>(listLength)) < static_cast<size_t>(listLength))
    body.fail(rpc__s_array_bound);
  body.align(2);
  body.putU16(static_cast<uint16_t>(listLength));
  body.putU16(static_cast<uint16_t>(listLength));
  body.putU16(static_cast<uint16_t>(listLength));
  if (body.fault() == rpc__s_ok) body.putChars(list, static_cast<size_t>(listLength));
  body.putChars(affinity, RAF_SUBNODE_AFFINITY_SIZE);
  body.putChars(reserved, RAF_SUBNODE_RESERVED_SIZE);
  body.putChars(version, RAF_SUBNODE_VERSION_SIZE);
  body.putChars(trailer, RAF_SUBNODE_TRAILER_SIZE);
  CallAndReadStatus(binding, RAF_NCS_Subnode_Request_opnum, false, body, status);
}

namespace {

struct LookupAnswer {
  int32_t* word;
  char* firstText;
  char* secondText;
  int16_t capacity;
  unsigned char* output;
  int16_t* outputCount;
};

void ReadLookupAnswer(rpc::BodyReader& answer, void* context) {
  LookupAnswer& out = *static_cast<LookupAnswer*>(context);
  *out.word = static_cast<int32_t>(answer.getU32());
  answer.getCountedString(out.firstText, RAF_LOOKUP_TEXT_MAX);
  answer.getCountedString(out.secondText, RAF_LOOKUP_TEXT_MAX);
  answer.align(2);
  uint16_t maximum = answer.getU16();
  uint16_t count = answer.getCount(maximum);
  if (count > static_cast<uint16_t>(out.capacity)) return answer.fail(rpc__s_array_bound);
  answer.getBytes(out.output, count);
  *out.outputCount = static_cast<int16_t>(count);
}

}  // namespace

void RAF_NCS_NodeLookup(rpc__handle_t binding, int32_t* word, char* firstText, char* secondText,
                        const char field[RAF_LOOKUP_FIELD_SIZE], int32_t number, int16_t capacity,
                        unsigned char* output, int16_t* outputCount, int32_t* status) {
  rpc::BodyWriter body(rpc::BindingDrep(binding));
  body.putU32(static_cast<uint32_t>(*word));
  body.putCountedString(firstText, RAF_LOOKUP_TEXT_MAX);
  body.putCountedString(secondText, RAF_LOOKUP_TEXT_MAX);
  body.putChars(field, RAF_LOOKUP_FIELD_SIZE);
  body.align(4);
  body.putU32(static_cast<uint32_t>(number));
  body.putU16(static_cast<uint16_t>(capacity));
  LookupAnswer answer{word, firstText, secondText, capacity < 0 ? int16_t{0} : capacity, output, outputCount};
  CallAndReadStatus(binding, RAF_NCS_NodeLookup_opnum, false, body, status, ReadLookupAnswer, &answer);
}
