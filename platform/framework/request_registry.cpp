#include "internal/request_registry.h"

#include <condition_variable>
#include <map>
#include <mutex>

#include "internal/pxraf_state.h"
#include "trc1.h"

TRC_UNIT();

namespace {

struct LiveRequest {
  Pxraf* request;
  TableManager* manager;
  int pins = 0;
  bool ending = false;
};

std::mutex registryLock;
std::condition_variable pinsDropped;
std::map<uint32_t, LiveRequest>& live() {
  static auto* requests = new std::map<uint32_t, LiveRequest>();  // never destroyed: threads may end requests during exit
  return *requests;
}
uint32_t lastHandle = 0;

}  // namespace

namespace raf {

uint32_t NewHandle() {
  std::lock_guard<std::mutex> guard(registryLock);
  if (lastHandle == UINT32_MAX) return 0;
  return ++lastHandle;
}

void AddLiveRequest(Pxraf* request, TableManager* manager) {
  // Under the manager's lock, so that a Shutdown sees the request in both places or in neither.
  if (manager != nullptr) manager->lock();
  {
    std::lock_guard<std::mutex> guard(registryLock);
    live().emplace(request->Handle(), LiveRequest{request, manager});
  }
  if (manager != nullptr) {
    manager->RequestList()->Append(request);
    manager->unlock();
  }
}

bool EndRequest(uint32_t handle) {
  LiveRequest ending;
  {
    std::lock_guard<std::mutex> guard(registryLock);
    auto found = live().find(handle);
    if (found == live().end() || found->second.ending) return false;
    found->second.ending = true;
    ending = found->second;
  }
  if (ending.manager != nullptr) {
    ending.manager->lock();
    ending.manager->RequestList()->Remove(ending.request);
    ending.manager->unlock();
  }
  {
    std::unique_lock<std::mutex> guard(registryLock);
    pinsDropped.wait(guard, [handle] { return live().at(handle).pins == 0; });
    live().erase(handle);
  }
  TRC(TRC_DETAIL, "Ending request %u @%p", handle, static_cast<void*>(ending.request));
  delete ending.request;
  return true;
}

void EndAllRequests() {
  std::vector<uint32_t> handles;
  {
    std::lock_guard<std::mutex> guard(registryLock);
    for (const auto& request : live()) handles.push_back(request.first);
  }
  for (uint32_t handle : handles) EndRequest(handle);
}

}  // namespace raf

Pxraf* Pxraf::UseHandle(uint32_t handle) {
  std::lock_guard<std::mutex> guard(registryLock);
  auto found = live().find(handle);
  if (found == live().end() || found->second.ending) return nullptr;
  ++found->second.pins;
  return found->second.request;
}

void Pxraf::Drop() {
  std::lock_guard<std::mutex> guard(registryLock);
  auto found = live().find(Handle());
  if (found == live().end() || found->second.pins == 0) {
    TRC(TRC_ERROR, "Error: Drop of request %u without a UseHandle", Handle());
    return;
  }
  if (--found->second.pins == 0) pinsDropped.notify_all();
}
