#include "samples_list_entry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "agent_limits.h"
#include "trc1.h"

TRC_UNIT();

namespace {

// The source part of a subnode name ("source:applRR"): false when there is none or it
// is too long for a source name. Parsed here rather than by the channel library, whose
// result buffer every thread of the agent shares.
bool sourceNameOf(const char* subnodeName, char (&sourceName)[samplesListEntry::kSourceNameSize]) {
  const char* colon = std::strchr(subnodeName, ':');
  if (colon == nullptr || colon == subnodeName) {
    TRC(TRC_ERROR, "Error: could not determine sourceName from subnodeName <%s>", subnodeName);
    return false;
  }
  size_t length = static_cast<size_t>(colon - subnodeName);
  if (length >= sizeof sourceName) {
    TRC(TRC_ERROR, "Error: incorrect length for srcName <%.*s> subnodeName <%s>", static_cast<int>(length),
        subnodeName, subnodeName);
    return false;
  }
  std::memcpy(sourceName, subnodeName, length);
  sourceName[length] = '\0';
  return true;
}

template <size_t N>
void copyName(char (&field)[N], const char* name) {
  std::snprintf(field, N, "%s", name != nullptr ? name : "");
}

}  // namespace

samplesListEntry::samplesListEntry(const char* applKey, const char* tableName, const char* sourceName,
                                   const char* subnodeName) {
  copyName(applKey_, applKey);
  copyName(tableName_, tableName);
  if (subnodeName != nullptr) {
    subnodeStatus_ = kDeferredOnly;
    copyName(subnodeName_, subnodeName);
    sourceNameOf(subnodeName_, sourceName_);
  } else {
    subnodeStatus_ = kOnline;
    copyName(sourceName_, sourceName);
  }
  int slots = std::max(Max_Deferred_Request(), 0);
  deferredRequestQueue_.reset(new (std::nothrow) deferQueue_t[slots]());
  if (deferredRequestQueue_ != nullptr)
    queueSize_ = slots;
  else
    TRC(TRC_ERROR, "Error: allocating %d deferQueue_t", slots);
}

int samplesListEntry::AddDeferRequest(deferredRequester* agent, uint32_t handle, int kind) {
  // A request already queued is deferred, also when the queue is full.
  for (int slot = 0; slot < queueSize_; ++slot) {
    const deferQueue_t& queued = deferredRequestQueue_[slot];
    if (queued.requestObject != nullptr && queued.requestHandle == handle) {
      TRC(TRC_DETAIL, "Request<@%p> was already deferred.", static_cast<void*>(agent));
      return 0;
    }
  }
  if (deferredCount_ >= queueSize_) freeSlotsOfEndedRequests();
  if (deferredCount_ >= queueSize_) {
    TRC(TRC_ERROR, "Error: Max %d deferred request exceeded. Use ZEVA_MAX_DEFERRED_REQUEST to increase.",
        Max_Deferred_Request());
    return -1;
  }
  for (int slot = 0; slot < queueSize_; ++slot) {
    deferQueue_t& free = deferredRequestQueue_[slot];
    if (free.requestObject != nullptr) continue;
    free = deferQueue_t{agent, handle, kind};
    ++deferredCount_;
    TRC(TRC_DETAIL, "Request<@%p/%d> recorded as deferred. deferCount=%d", static_cast<void*>(agent),
        static_cast<int>(handle), deferredCount_);
    return deferredCount_;
  }
  TRC(TRC_ERROR, "Error: Could not find an empty slot: _deferredCount<%d>", deferredCount_);
  return -1;
}

int samplesListEntry::RemoveDeferRequest(int slot) {
  if (slot < 0 || slot >= queueSize_ || deferredRequestQueue_[slot].requestObject == nullptr) {
    TRC(TRC_ERROR, "Error: _deferredRequestQueue<%d>.requestObject was NULL.", slot);
    return 1;
  }
  freeSlot(slot);
  return 0;
}

void samplesListEntry::RemoveDeferRequest(deferredRequester* agent) {
  for (int slot = 0; slot < queueSize_; ++slot) {
    if (agent != nullptr && deferredRequestQueue_[slot].requestObject == agent) {
      freeSlot(slot);
      return;
    }
  }
}

deferredRequester* samplesListEntry::DeferRequest(int slot, int* kind, uint32_t* handle) const {
  if (slot < 0 || slot >= queueSize_) return nullptr;
  const deferQueue_t& queued = deferredRequestQueue_[slot];
  if (kind != nullptr) *kind = queued.requestKind;
  if (handle != nullptr) *handle = queued.requestHandle;
  return queued.requestObject;
}

void samplesListEntry::freeSlot(int slot) {
  deferredRequestQueue_[slot] = deferQueue_t{};
  --deferredCount_;
}

void samplesListEntry::redriveAll() {
  for (int slot = 0; slot < queueSize_ && deferredCount_ > 0; ++slot) {
    const deferQueue_t& queued = deferredRequestQueue_[slot];
    if (queued.requestObject == nullptr) continue;
    if (!redriveDeferred(queued, subnodeName_, tableName_))
      TRC(TRC_ERROR, "Warning: request<@%p/%d> no longer valid", static_cast<void*>(queued.requestObject),
          static_cast<int>(queued.requestHandle));
    freeSlot(slot);
  }
}

void samplesListEntry::freeSlotsOfEndedRequests() {
  for (int slot = 0; slot < queueSize_; ++slot) {
    const deferQueue_t& queued = deferredRequestQueue_[slot];
    if (queued.requestObject == nullptr || !deferredRequestGone(queued)) continue;
    TRC(TRC_ERROR, "Warning: request<@%p/%d> no longer valid", static_cast<void*>(queued.requestObject),
        static_cast<int>(queued.requestHandle));
    freeSlot(slot);
  }
}

void samplesListEntry::setSubnodeName(const char* subnodeName, const char* untouched) {
  if (subnodeName != nullptr) copyName(subnodeName_, subnodeName);
  size_t length = untouched != nullptr ? std::strlen(untouched) : 0;
  if (length >= sizeof subnodeNameUntouched_) {
    TRC(TRC_ERROR, "Error: length %d invalid", static_cast<int>(length));
    return;
  }
  copyName(subnodeNameUntouched_, untouched);
}

void samplesListEntry::setAttrGroup(const char* attrGroup) { copyName(attrGroup_, attrGroup); }

void samplesListEntry::setTableName(const char* tableName) { copyName(tableName_, tableName); }

void samplesListEntry::setSourceName(const char* sourceName) { copyName(sourceName_, sourceName); }

void samplesListEntry::printSelf() const {
  TRC(TRC_DETAIL, ">>>>>   samplesListEntry @%p applKey <%s> tableName <%s> sourceName <%s>",
      static_cast<const void*>(this), applKey_, tableName_, sourceName_);
  TRC(TRC_DETAIL, ">>>>>   subnodeName <%s> subnodeNameUntouched <%s> subnodeStatus <%d>", subnodeName_,
      subnodeNameUntouched_, subnodeStatus_);
  TRC(TRC_DETAIL, ">>>>>   dataList @%p deferredCount <%d>", static_cast<void*>(dataList_.get()), deferredCount_);
}
