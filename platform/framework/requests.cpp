// Requests as the management server opens, samples and ends them.
#include <memory>

#include "internal/main_loop.h"
#include "internal/manager_registry.h"
#include "internal/pxraf_state.h"
#include "internal/request_detail.h"
#include "internal/request_registry.h"
#include "trc1.h"

TRC_UNIT();

namespace raf {

uint32_t OpenRequest(const RequestSpec& spec) {
  if (FrameworkShutDown()) return 0;
  TableManager* manager = FindManager(spec.application, spec.table);
  if (manager == nullptr) {
    TRC(TRC_ERROR, "Error: no table manager serves <%s/%s>", spec.application.c_str(), spec.table.c_str());
    return 0;
  }
  uint32_t handle = NewHandle();
  if (handle == 0) return 0;
  RequestDetail detail(spec, handle);
  ContextInfo context(false);
  Pxraf* request = manager->CreatePxraf(&detail, &context);
  if (request == nullptr) {
    TRC(TRC_ERROR, "Error: table manager <%s/%s> made no request", spec.application.c_str(), spec.table.c_str());
    return 0;
  }
  AddLiveRequest(request, manager);
  return handle;
}

bool Sample(uint32_t handle, std::vector<std::string>* rows) {
  Pxraf* request = Pxraf::UseHandle(handle);
  if (request == nullptr) return false;
  request->TakeSample();
  std::vector<std::string> taken = PxrafInternals::takeRows(request);
  request->Drop();
  if (rows != nullptr) rows->swap(taken);
  return true;
}

std::vector<std::vector<std::string>> TakeEventBatches(uint32_t handle) {
  Pxraf* request = Pxraf::UseHandle(handle);
  if (request == nullptr) return {};
  std::vector<std::vector<std::string>> batches = PxrafInternals::takeBatches(request);
  request->Drop();
  return batches;
}

bool CloseRequest(uint32_t handle) { return EndRequest(handle); }

std::vector<uint32_t> OpenRequests(const std::string& application, const std::string& table) {
  std::vector<uint32_t> handles;
  TableManager* manager = FindManager(application, table);
  if (manager == nullptr) return handles;
  manager->lock();
  PxrafListIter walk(manager->RequestList());
  while (Pxraf* request = walk.Next()) handles.push_back(request->Handle());
  manager->unlock();
  return handles;
}

std::vector<Manager> Managers() {
  std::vector<Manager> listed;
  for (TableManager* manager : RegisteredManagers()) listed.push_back({manager->ApplicationName(), manager->TableName()});
  return listed;
}

}  // namespace raf
