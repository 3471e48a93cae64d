#include "row_collector.h"

#include <gtest/gtest.h>

#include "raf_driver.h"

void RowCollector::onSample(std::function<void(RowCollector&)> sample) {
  std::lock_guard<std::mutex> guard(mutex_);
  sample_ = std::move(sample);
}

void RowCollector::TakeSample() {
  std::function<void(RowCollector&)> sample;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    sample = sample_;
  }
  if (sample) sample(*this);
}

int RowCollector::AddData(void* row, int size) {
  SetRowSize(size);
  return InsertRow(static_cast<char*>(row));
}

int RowCollector::redriveRequest(const char* subnodeName, const char* tableName, int requestKind) {
  std::lock_guard<std::mutex> guard(mutex_);
  redrives_.push_back({subnodeName, tableName, requestKind});
  return redriveAnswer;
}

std::vector<RowCollector::Redrive> RowCollector::redrives() {
  std::lock_guard<std::mutex> guard(mutex_);
  return redrives_;
}

CollectorManager::CollectorManager(const char* application, const char* table) : TableManager(application, table) {
  EXPECT_EQ(RegisterWithManager(), 0);
}

CollectorManager::~CollectorManager() { Shutdown(0); }

Pxraf* CollectorManager::CreatePxraf(RequestDetail* detail, ContextInfo* context) {
  return new RowCollector(detail, context, this);
}

OpenedRequest::OpenedRequest(const char* application, const char* table) {
  raf::RequestSpec spec;
  spec.application = application;
  spec.table = table;
  handle_ = raf::OpenRequest(spec);
  EXPECT_NE(handle_, 0u) << "no manager serves " << application << "/" << table;
  if (Pxraf* pinned = Pxraf::UseHandle(handle_)) {
    collector_ = dynamic_cast<RowCollector*>(pinned);
    pinned->Drop();
  }
}

OpenedRequest::~OpenedRequest() { close(); }

bool OpenedRequest::close() {
  if (closed_) return false;
  closed_ = true;
  return raf::CloseRequest(handle_);
}

std::vector<std::string> OpenedRequest::sample(std::function<void(RowCollector&)> sample) {
  collector_->onSample(std::move(sample));
  std::vector<std::string> rows;
  EXPECT_TRUE(raf::Sample(handle_, &rows));
  return rows;
}
