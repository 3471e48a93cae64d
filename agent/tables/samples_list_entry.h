// One data source of one table in the sample registry: its names, its status, its row
// list and the framework requests waiting for it to come online (the deferral queue).
//
// Entries are made, changed and read under the registry's lock only.
#pragma once

#include <cstdint>
#include <memory>

#include "data_list.h"
#include "deferred_request.h"

class samplesListEntry {
 public:
  static constexpr int kApplKeySize = 4;
  static constexpr int kAttrGroupSize = 33;
  static constexpr int kTableNameSize = 11;
  static constexpr int kSourceNameSize = 33;
  static constexpr int kSubnodeNameSize = 33;
  static constexpr int kUntouchedNameSize = 71;

  // subnodeStatus values.
  static constexpr int kDeferredOnly = 0;  // known only from a deferred request
  static constexpr int kOnline = 1;
  static constexpr int kRegistered = 3;    // online and reported to the framework

  // With a subnode name the entry stands for deferred requests (status 0) and takes
  // its source name from the subnode name; without one the source is online (status
  // 1). The queue has Max_Deferred_Request() free slots (none when it cannot be
  // allocated: every deferral then fails).
  samplesListEntry(const char* applKey, const char* tableName, const char* sourceName, const char* subnodeName);
  samplesListEntry(const samplesListEntry&) = delete;
  samplesListEntry& operator=(const samplesListEntry&) = delete;

  // -1 when the queue is full (after freeing the slots of requests that have ended) or
  // missing; 0 when the handle is queued already; else the new number of queued requests.
  int AddDeferRequest(deferredRequester* agent, uint32_t handle, int kind);
  // Frees an occupied slot: 0; 1 for a free one.
  int RemoveDeferRequest(int slot);
  // Frees the first slot that holds this agent.
  void RemoveDeferRequest(deferredRequester* agent);
  // The slot's request (null for a free slot) with its kind and handle.
  deferredRequester* DeferRequest(int slot, int* kind, uint32_t* handle) const;
  int deferredCount() const { return deferredCount_; }
  int queueSize() const { return queueSize_; }
  // Redrives every queued request whose framework request still exists and frees
  // every slot: a request that has gone leaves a stale slot behind.
  void redriveAll();

  // untouched: at most 70 characters; a longer one is refused and the name kept.
  void setSubnodeName(const char* subnodeName, const char* untouched);
  void setAttrGroup(const char* attrGroup);
  void setTableName(const char* tableName);
  void setSourceName(const char* sourceName);

  const char* applKey() const { return applKey_; }
  const char* attrGroup() const { return attrGroup_; }
  const char* tableName() const { return tableName_; }
  const char* sourceName() const { return sourceName_; }
  const char* subnodeName() const { return subnodeName_; }
  const char* subnodeNameUntouched() const { return subnodeNameUntouched_; }
  int subnodeStatus() const { return subnodeStatus_; }
  void setSubnodeStatus(int status) { subnodeStatus_ = status; }
  const std::shared_ptr<dataList>& dataListPtr() const { return dataList_; }
  void setDataListPtr(std::shared_ptr<dataList> list) { dataList_ = std::move(list); }

  void printSelf() const;

 private:
  void freeSlot(int slot);
  void freeSlotsOfEndedRequests();

  char applKey_[kApplKeySize] = {};
  char attrGroup_[kAttrGroupSize] = {};
  char tableName_[kTableNameSize] = {};
  char sourceName_[kSourceNameSize] = {};
  char subnodeName_[kSubnodeNameSize] = {};
  int subnodeStatus_ = kOnline;
  char subnodeNameUntouched_[kUntouchedNameSize] = {};
  std::shared_ptr<dataList> dataList_;
  int deferredCount_ = 0;
  int queueSize_ = 0;
  std::unique_ptr<deferQueue_t[]> deferredRequestQueue_;
};
