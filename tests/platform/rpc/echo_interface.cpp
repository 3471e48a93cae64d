#include "echo_interface.h"

#include <mutex>

#include "rpc_client.h"
#include "rpc_frame.h"

rpc__if_spec_t echo_v1_if_spec = {
    1, {}, 3, {{0x45, 0x43, 0x48, 0x4f, 0x2d, 0x74, 0x65, 0x73, 0x74, 0x2d, 0x69, 0x66, 0x00, 0x00, 0x00, 0x01}}};

void WriteEchoRecord(rpc::BodyWriter& body, const EchoRecord& record) {
  body.putCountedString(record.text.c_str(), kEchoTextBound);
  body.align(4);
  body.putU32(record.number);
  body.align(2);
  body.putU16(static_cast<uint16_t>(record.bytes.size()));
  body.putU16(static_cast<uint16_t>(record.bytes.size()));
  body.putBytes(record.bytes.data(), record.bytes.size());
  std::string fixed = record.fixed;
  fixed.resize(8, ' ');
  body.putChars(fixed.data(), 8);
}

bool ReadEchoRecord(rpc::BodyReader& body, EchoRecord* record) {
  char text[kEchoTextBound + 1];
  body.getCountedString(text, kEchoTextBound);
  record->text = text;
  body.align(4);
  record->number = body.getU32();
  body.align(2);
  uint16_t maximum = body.getU16();
  uint16_t count = body.getCount(maximum);
  if (count > kEchoBytesMaximum) body.fail(rpc__s_array_bound);
  record->bytes.assign(body.fault() == rpc__s_ok ? count : 0, 0);
  body.getBytes(record->bytes.data(), record->bytes.size());
  char fixed[8];
  body.getChars(fixed, sizeof fixed);
  record->fixed.assign(fixed, sizeof fixed);
  return body.fault() == rpc__s_ok;
}

namespace {

using EchoRoutine = void (*)(rpc__handle_t caller, const EchoRecord& in, EchoRecord* out, std::string* callerName);

std::mutex hookMutex;
std::function<void()> echoHook;

void Echo(rpc__handle_t caller, const EchoRecord& in, EchoRecord* out, std::string* callerName) {
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> hold(hookMutex);
    hook = echoHook;
  }
  if (hook) hook();
  *out = in;
  socket__addr_t address;
  int addressLength = sizeof address;
  char name[256];
  int nameLength = sizeof name;
  unsigned port = 0;
  rpc__status_t status;
  rpc__inq_binding(caller, &address, &addressLength, &status);
  if (status == rpc__s_ok) rpc__sockaddr_to_name(&address, addressLength, name, &nameLength, &port, &status);
  *callerName = status == rpc__s_ok ? name : "?";
}

void Unreached() {}

void EchoStub(rpc__handle_t caller, rpc::BodyReader& request, rpc::BodyWriter& reply, rpc__routine_t routine) {
  EchoRecord in, out;
  if (!ReadEchoRecord(request, &in)) return;
  std::string callerName;
  reinterpret_cast<EchoRoutine>(routine)(caller, in, &out, &callerName);
  WriteEchoRecord(reply, out);
  reply.putCountedString(callerName.c_str(), 255);
}

void EmptyStub(rpc__handle_t, rpc::BodyReader&, rpc::BodyWriter&, rpc__routine_t) {}

const rpc__server_stub_t serverEpv[3] = {EchoStub, EmptyStub, nullptr};
const rpc__routine_t managerEpv[3] = {reinterpret_cast<rpc__routine_t>(Echo), nullptr, Unreached};

}  // namespace

void SetEchoHook(std::function<void()> hook) {
  std::lock_guard<std::mutex> hold(hookMutex);
  echoHook = std::move(hook);
}

bool RegisterEchoInterface() {
  rpc__status_t status;
  rpc__register_mgr(&uuid__nil, &echo_v1_if_spec, serverEpv, managerEpv, &status);
  return status == rpc__s_ok;
}

rpc__status_t CallEcho(rpc__handle_t binding, const EchoRecord& record, EchoRecord* echoed, std::string* callerName) {
  rpc::BodyWriter body(rpc::BindingDrep(binding));
  WriteEchoRecord(body, record);
  rpc::Reply reply;
  rpc__status_t fault = rpc::Call(binding, echo_v1_if_spec, kEchoOperation, true, body, &reply);
  if (fault == rpc__s_ok) {
    rpc::BodyReader answer(reply.body.data(), reply.body.size(), reply.drep);
    ReadEchoRecord(answer, echoed);
    char name[256];
    answer.getCountedString(name, 255);
    *callerName = name;
    fault = answer.fault();
  }
  if (fault != rpc__s_ok) exc__raise(fault);
  return fault;
}

rpc__status_t CallOperation(rpc__handle_t binding, uint32_t operation, const rpc__if_spec_t& ifspec) {
  rpc::BodyWriter body(rpc::BindingDrep(binding));
  rpc::Reply reply;
  rpc__status_t fault = rpc::Call(binding, ifspec, operation, false, body, &reply);
  if (fault != rpc__s_ok) exc__raise(fault);
  return fault;
}
