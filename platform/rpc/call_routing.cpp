#include "call_routing.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>

#include "binding_record.h"
#include "rpc_server.h"
#include "trc1.h"

TRC_UNIT();

namespace rpc {

namespace {

struct Registration {
  uuid__t id;
  uint32_t version;
  uint32_t opcnt;
  const rpc__server_stub_t* serverEpv;
  const rpc__routine_t* managerEpv;
  int activeCalls = 0;  // registryMutex
};

std::mutex registryMutex;
std::condition_variable callEnded;
std::vector<std::shared_ptr<Registration>> registrations;  // registryMutex

// The registration whose call runs on this thread, for an unregister from inside it.
thread_local const Registration* servedOnThisThread = nullptr;

bool SameInterface(const Registration& registration, const uuid__t& id, uint32_t version) {
  return std::memcmp(registration.id.bytes, id.bytes, sizeof id.bytes) == 0 && registration.version == version;
}

std::vector<std::shared_ptr<Registration>>::iterator Find(const uuid__t& id, uint32_t version) {
  for (auto it = registrations.begin(); it != registrations.end(); ++it)
    if (SameInterface(**it, id, version)) return it;
  return registrations.end();
}

void SetStatus(rpc__status_t* status, rpc__status_t value) {
  if (status != nullptr) *status = value;
}

// The registration of the call, counted as running, with the stub and routine of its
// slot; null with the fault.
std::shared_ptr<Registration> StartCall(const PacketHeader& request, rpc__server_stub_t* stub,
                                        rpc__routine_t* routine, rpc__status_t* fault) {
  std::lock_guard<std::mutex> hold(registryMutex);
  auto found = Find(request.interfaceId, request.interfaceVersion);
  if (found == registrations.end()) {
    *fault = rpc__s_unknown_if;
    return nullptr;
  }
  const Registration& registration = **found;
  if (request.operation >= registration.opcnt) {
    *fault = rpc__s_op_rng_error;
    return nullptr;
  }
  if (registration.serverEpv[request.operation] == nullptr || registration.managerEpv[request.operation] == nullptr) {
    *fault = rpc__s_no_routine;
    return nullptr;
  }
  *stub = registration.serverEpv[request.operation];
  *routine = registration.managerEpv[request.operation];
  ++(*found)->activeCalls;
  return *found;
}

void EndCall(Registration* registration) {
  std::lock_guard<std::mutex> hold(registryMutex);
  --registration->activeCalls;
  callEnded.notify_all();
}

// A call being served, by its caller and identifier. A copy that the caller sends
// again while the call runs is not served a second time: its answer is on the way,
// and a second answer (a fault, once the interface has gone) could reach the caller
// first.
struct CallInProgress {
  uint32_t address;
  uint16_t port;
  uint32_t callId;
  bool operator==(const CallInProgress& other) const {
    return address == other.address && port == other.port && callId == other.callId;
  }
};

std::mutex callsMutex;
std::vector<CallInProgress> callsInProgress;  // callsMutex

// False when the call is already being served.
bool BeginServing(const CallInProgress& call) {
  std::lock_guard<std::mutex> hold(callsMutex);
  if (std::find(callsInProgress.begin(), callsInProgress.end(), call) != callsInProgress.end()) return false;
  callsInProgress.push_back(call);
  return true;
}

void EndServing(const CallInProgress& call) {
  std::lock_guard<std::mutex> hold(callsMutex);
  callsInProgress.erase(std::find(callsInProgress.begin(), callsInProgress.end(), call));
}

// The answer to a request that is not being served already.
std::vector<uint8_t> ServeRequest(const PacketHeader& request, const uint8_t* body, size_t bodyLength,
                                  const sockaddr_in& caller) {
  rpc__status_t fault = rpc__s_ok;
  rpc__server_stub_t stub = nullptr;
  rpc__routine_t routine = nullptr;
  std::shared_ptr<Registration> registration = StartCall(request, &stub, &routine, &fault);
  if (registration == nullptr) {
    TRC(TRC_DETAIL, "RPC call of operation %u not routed, fault %08x", request.operation, fault);
    return BuildFault(request, fault);
  }
  rpc__binding binding{caller, request.drep, true};
  BodyReader reader(body, bodyLength, request.drep);
  BodyWriter writer(request.drep);
  servedOnThisThread = registration.get();
  stub(&binding, reader, writer, routine);
  servedOnThisThread = nullptr;
  EndCall(registration.get());

  fault = reader.fault() != rpc__s_ok ? reader.fault() : writer.fault();
  if (fault != rpc__s_ok) {
    TRC(TRC_DETAIL, "RPC call of operation %u answered with fault %08x", request.operation, fault);
    return BuildFault(request, fault);
  }
  PacketHeader reply = request;
  reply.type = PacketType::reply;
  reply.idempotent = false;
  return BuildDatagram(reply, writer.bytes());
}

}  // namespace

std::vector<uint8_t> AnswerRequest(const PacketHeader& request, const uint8_t* body, size_t bodyLength,
                                   const sockaddr_in& caller) {
  const CallInProgress call{caller.sin_addr.s_addr, caller.sin_port, request.callId};
  if (!BeginServing(call)) {
    TRC(TRC_DETAIL, "RPC call %08x sent again while it is served: not answered twice", request.callId);
    return {};
  }
  std::vector<uint8_t> answer = ServeRequest(request, body, bodyLength, caller);
  EndServing(call);
  return answer;
}

void DropRegistrations() {
  std::lock_guard<std::mutex> hold(registryMutex);
  registrations.clear();
}

}  // namespace rpc

void rpc__register_mgr(const uuid__t* type, rpc__if_spec_t* ifspec, const rpc__server_stub_t* serverEpv,
                       const rpc__routine_t* managerEpv, rpc__status_t* status) {
  if (type == nullptr || ifspec == nullptr || serverEpv == nullptr || managerEpv == nullptr)
    return rpc::SetStatus(status, rpc__s_invalid_argument);
  std::lock_guard<std::mutex> hold(rpc::registryMutex);
  auto found = rpc::Find(ifspec->id, ifspec->version);
  // A registration made again keeps its count of running calls.
  std::shared_ptr<rpc::Registration> registration =
      found != rpc::registrations.end() ? *found : std::make_shared<rpc::Registration>();
  registration->id = ifspec->id;
  registration->version = ifspec->version;
  registration->opcnt = ifspec->opcnt;
  registration->serverEpv = serverEpv;
  registration->managerEpv = managerEpv;
  if (found == rpc::registrations.end()) rpc::registrations.push_back(registration);
  rpc::SetStatus(status, rpc__s_ok);
}

void rpc__unregister(rpc__if_spec_t* ifspec, rpc__status_t* status) {
  if (ifspec == nullptr) return rpc::SetStatus(status, rpc__s_invalid_argument);
  std::unique_lock<std::mutex> hold(rpc::registryMutex);
  auto found = rpc::Find(ifspec->id, ifspec->version);
  if (found == rpc::registrations.end()) return rpc::SetStatus(status, rpc__s_not_registered);
  std::shared_ptr<rpc::Registration> leaving = *found;
  rpc::registrations.erase(found);
  int ownCall = rpc::servedOnThisThread == leaving.get() ? 1 : 0;
  rpc::callEnded.wait(hold, [&] { return leaving->activeCalls <= ownCall; });
  rpc::SetStatus(status, rpc__s_ok);
}
