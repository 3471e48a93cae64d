#include "zev_dorvan_manager.h"

#include <new>

#include "event_push.h"
#include "raf_status.h"
#include "trc1.h"
#include "user_data_info.h"
#include "zev_dorvan_agent.h"

TRC_UNIT();

zev_dorvan_manager::zev_dorvan_manager(const char* applName, const char* tableName)
    : TableManager(applName, tableName) {}

zev_dorvan_manager::~zev_dorvan_manager() { Shutdown(0); }

Pxraf* zev_dorvan_manager::CreatePxraf(RequestDetail* detail, ContextInfo* context) {
  auto* request = new (std::nothrow) zev_dorvan_agent(detail, context, this);
  if (request == nullptr) TRC(TRC_ERROR, "Error: allocating zev_dorvan_agent for <%s/%s>", ApplicationName(), TableName());
  return request;
}

void zev_dorvan_manager::setUserDataPtr(userDataInfo* description) {
  std::lock_guard<std::mutex> guard(bindingLock_);
  if (userData_ != description) columns_.reset();
  userData_ = description;
}

userDataInfo* zev_dorvan_manager::userDataInfoPtr() const {
  std::lock_guard<std::mutex> guard(bindingLock_);
  return userData_;
}

void zev_dorvan_manager::clearUserDataPtr(const userDataInfo* description) {
  std::lock_guard<std::mutex> guard(bindingLock_);
  if (userData_ != description) return;
  userData_ = nullptr;
  columns_.reset();
}

void zev_dorvan_manager::publishColumns(const userDataInfo* description, userTableColumnsPtr columns) {
  std::lock_guard<std::mutex> guard(bindingLock_);
  if (userData_ == description) columns_ = std::move(columns);
}

userTableColumnsPtr zev_dorvan_manager::columns() const {
  std::lock_guard<std::mutex> guard(bindingLock_);
  return columns_;
}

int zev_dorvan_manager::EventArrived(char* row, int length) {
  TRC(TRC_DETAIL, "Event row of %d bytes for <%s/%s> from origin node <%.*s>", length, ApplicationName(), TableName(),
      length < userDataInfo::kOriginNodeLength ? length : userDataInfo::kOriginNodeLength, row);
  RemoteManager* remote = RemoteManager::GetManager();
  if (remote == nullptr) {
    TRC(TRC_ERROR, "Error: RemoteManager pointer was NULL.");
    return 1;
  }
  int result = 1;
  if (columns() == nullptr) {
    TRC(TRC_ERROR, "Error: _coInfo was NULL.");
  } else {
    auto* manager = dynamic_cast<zev_dorvan_manager*>(remote->FindTableManager(ApplicationName(), TableName()));
    result = manager != nullptr ? manager->AddDataToEvent(row, length) : 0;
  }
  remote->Drop();
  return result;
}

int zev_dorvan_manager::AddDataToEvent(char* row, int length) { return PushToEventRequests(this, row, length); }

void zev_dorvan_manager::SNMPflag(short flag) {
  std::lock_guard<std::mutex> guard(bindingLock_);
  SNMPflag_ = flag;
}

short zev_dorvan_manager::isSNMPdata() const {
  std::lock_guard<std::mutex> guard(bindingLock_);
  return SNMPflag_;
}

namespace {

// A new manager registered with the framework. When the framework serves the table with a
// manager of ours already (a table named twice in the registry's work file), that one is
// used: a second manager would be handed out without ever being asked for a request.
zev_dorvan_manager* registeredManager(const char* applName, const char* tableName) {
  auto* made = new (std::nothrow) zev_dorvan_manager(applName, tableName);
  if (made == nullptr) {
    TRC(TRC_ERROR, "Error: allocating zev_dorvan_manager");
    return nullptr;
  }
  int status = RemoteManager::RegisterClass(made);
  TRC(TRC_DETAIL, "RegisterClass<%s/%s> status=%d", applName, tableName, status);
  if (status != RAF_STATUS_DUPLICATE_TABLE) return made;
  RemoteManager* remote = RemoteManager::GetManager();
  auto* registered =
      remote != nullptr ? dynamic_cast<zev_dorvan_manager*>(remote->FindTableManager(applName, tableName)) : nullptr;
  if (remote != nullptr) remote->Drop();
  if (registered == nullptr) return made;
  TRC(TRC_ERROR, "Warning: TableManager<%s/%s> registered already: using it", applName, tableName);
  delete made;
  return registered;
}

}  // namespace

zev_dorvan_manager* zev_dorvan_init(const char* applName, const char* tableName, userDataInfo* description,
                                    zev_dorvan_manager* manager, short SNMPflag) {
  if ((applName != nullptr && tableName != nullptr) || manager == nullptr) {
    zev_dorvan_manager* made = registeredManager(applName != nullptr ? applName : "", tableName != nullptr ? tableName : "");
    if (made == nullptr) return nullptr;
    if (description != nullptr) {
      made->setUserDataPtr(description);
      description->setTableManager(made);
    }
    made->SNMPflag(SNMPflag);
    return made;
  }
  if (description == nullptr) {
    TRC(TRC_ERROR, "Error: userData was NULL.");
    return nullptr;
  }
  manager->setUserDataPtr(description);
  description->setTableManager(manager);
  return manager;
}
