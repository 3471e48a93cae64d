// A request of the framework stand-in for tests of the row store: it keeps the rows
// handed to it and the redrives asked of it, and samples by running what the test
// gives it. The management server's side is the stand-in's test driver.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "deferred_request.h"
#include "pxraf.h"
#include "table_manager.h"

class RowCollector : public Pxraf, public deferredRequester {
 public:
  RowCollector(RequestDetail* detail, ContextInfo* context, TableManager* manager) : Pxraf(detail, context, manager) {}

  // What the next samples do (on the sampling thread).
  void onSample(std::function<void(RowCollector&)> sample);
  void TakeSample() override;
  // As the user-table agent does: one row of the given size, inserted as it is.
  int AddData(void* row, int size) override;
  // Answers `redriveAnswer` after recording the call.
  int redriveRequest(const char* subnodeName, const char* tableName, int requestKind) override;

  struct Redrive {
    std::string subnodeName;
    std::string tableName;
    int requestKind;
  };
  std::vector<Redrive> redrives();
  int redriveAnswer = 0;

 private:
  std::mutex mutex_;
  std::function<void(RowCollector&)> sample_;
  std::vector<Redrive> redrives_;
};

// The manager of one table whose requests are RowCollectors; registered with the
// stand-in while it lives.
class CollectorManager : public TableManager {
 public:
  CollectorManager(const char* application, const char* table);
  ~CollectorManager() override;
  Pxraf* CreatePxraf(RequestDetail* detail, ContextInfo* context) override;
};

// A request opened on a CollectorManager's table through the driver, closed when it goes.
class OpenedRequest {
 public:
  OpenedRequest(const char* application, const char* table);
  ~OpenedRequest();
  OpenedRequest(const OpenedRequest&) = delete;
  OpenedRequest& operator=(const OpenedRequest&) = delete;

  uint32_t handle() const { return handle_; }
  // The request, while it is open (the test holds no pin: it closes the request itself).
  RowCollector& collector() const { return *collector_; }
  // One sample running `sample`; the rows the request took.
  std::vector<std::string> sample(std::function<void(RowCollector&)> sample);
  // Ends the request now; false when it had ended.
  bool close();

 private:
  uint32_t handle_;
  RowCollector* collector_ = nullptr;
  bool closed_ = false;
};
