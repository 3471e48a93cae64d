// Table managers and the remote manager's registry of them.
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "internal/failures.h"
#include "internal/manager_registry.h"
#include "internal/request_registry.h"
#include "trc1.h"

TRC_UNIT();

struct TableManager::State {
  std::string application;
  std::string table;
  std::mutex requestsLock;
  PxrafList requests;
};

namespace {

std::mutex registryLock;
std::vector<TableManager*>& managers() {
  static auto* registered = new std::vector<TableManager*>();  // never destroyed: managers outlive static data
  return *registered;
}
std::atomic<bool> remoteManagerClosed{false};

std::vector<uint32_t> handlesOf(TableManager* manager) {
  std::vector<uint32_t> handles;
  manager->lock();
  PxrafListIter walk(manager->RequestList());
  while (Pxraf* request = walk.Next()) handles.push_back(request->Handle());
  manager->unlock();
  return handles;
}

void forget(TableManager* manager) {
  std::lock_guard<std::mutex> guard(registryLock);
  std::vector<TableManager*>& registered = managers();
  for (auto it = registered.begin(); it != registered.end(); ++it)
    if (*it == manager) {
      registered.erase(it);
      return;
    }
}

}  // namespace

struct TableManagerInternals {
  static RemoteManager* remoteManager() {
    static RemoteManager* made = new RemoteManager();  // never destroyed: table agents may ask during exit
    return made;
  }
};

TableManager::TableManager(const char* application, const char* table) : state_(new State) {
  state_->application = application != nullptr ? application : "";
  state_->table = table != nullptr ? table : "";
}

TableManager::~TableManager() {
  std::vector<uint32_t> open = handlesOf(this);
  if (!open.empty())
    TRC(TRC_ERROR, "Warning: table manager <%s/%s> deleted with %zu open requests", ApplicationName(), TableName(),
        open.size());
  for (uint32_t handle : open) raf::EndRequest(handle);
  forget(this);
}

int TableManager::Shutdown(unsigned long code) {
  if (raf::FailureDue(raf::Failure::Shutdown)) return RAF_STATUS_FAILED;
  TRC(TRC_DETAIL, "Shutdown(%lu) of table manager <%s/%s>", code, ApplicationName(), TableName());
  for (uint32_t handle : handlesOf(this)) raf::EndRequest(handle);
  return 0;
}

int TableManager::RegisterWithManager() { return RemoteManager::RegisterClass(this); }

const char* TableManager::ApplicationName() { return state_->application.c_str(); }

const char* TableManager::TableName() { return state_->table.c_str(); }

void TableManager::lock() { state_->requestsLock.lock(); }

void TableManager::unlock() { state_->requestsLock.unlock(); }

PxrafList* TableManager::RequestList() { return &state_->requests; }

int RemoteManager::RegisterClass(TableManager* manager) {
  if (manager == nullptr || manager->ApplicationName()[0] == '\0' || manager->TableName()[0] == '\0')
    return RAF_STATUS_BAD_NAME;
  std::lock_guard<std::mutex> guard(registryLock);
  for (TableManager* registered : managers())
    if (registered == manager || (std::string(registered->ApplicationName()) == manager->ApplicationName() &&
                                  std::string(registered->TableName()) == manager->TableName())) {
      TRC(TRC_ERROR, "Error: a table manager of <%s/%s> is registered already", manager->ApplicationName(),
          manager->TableName());
      return RAF_STATUS_DUPLICATE_TABLE;
    }
  managers().push_back(manager);
  TRC(TRC_DETAIL, "Registered table manager @%p <%s/%s>", static_cast<void*>(manager), manager->ApplicationName(),
      manager->TableName());
  return 0;
}

RemoteManager* RemoteManager::GetManager() {
  return remoteManagerClosed.load() ? nullptr : TableManagerInternals::remoteManager();
}

TableManager* RemoteManager::FindTableManager(const char* application, const char* table) {
  if (application == nullptr || table == nullptr) return nullptr;
  return raf::FindManager(application, table);
}

void RemoteManager::Drop() {}

namespace raf {

std::vector<TableManager*> RegisteredManagers() {
  std::lock_guard<std::mutex> guard(registryLock);
  return managers();
}

TableManager* FindManager(const std::string& application, const std::string& table) {
  std::lock_guard<std::mutex> guard(registryLock);
  for (TableManager* manager : managers())
    if (application == manager->ApplicationName() && table == manager->TableName()) return manager;
  return nullptr;
}

void ForgetManagers() {
  std::lock_guard<std::mutex> guard(registryLock);
  managers().clear();
}

void CloseRemoteManager() { remoteManagerClosed.store(true); }

void ReopenRemoteManager() { remoteManagerClosed.store(false); }

}  // namespace raf
