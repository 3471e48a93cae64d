#include "buffers.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "api_trace.h"
#include "handles.h"
#include "status_codes.h"

namespace zevpapi {

namespace {

constexpr char kRequestTags[][kTagLength + 1] = {"      ", "BGNINP", "ENDINP", "BGNROW", "ENDROW",
                                                 "SNDDTA", "ACCREQ", "RCVREQ", "RESULT", "SETSRC"};
constexpr int kRequestTagCount = sizeof kRequestTags / sizeof kRequestTags[0];

APIbuffer* NewBlock(APIhandle* handle, int requestSize) {
  size_t size = sizeof(APIbuffer) + kRequestHeaderLength + static_cast<size_t>(requestSize) + kCapacityBeyondRequest;
  auto* block = static_cast<APIbuffer*>(std::malloc(size));
  if (block == nullptr) return nullptr;
  char* body = reinterpret_cast<char*>(block + 1);
  block->next = nullptr;
  block->handle = handle;
  block->eyeCatcher = body;
  block->tag = body + kEyeCatcherLength;
  block->data = body + kRequestHeaderLength;
  block->cursor = block->data;
  block->capacity = requestSize + kCapacityBeyondRequest;
  block->used = kRequestHeaderLength;
  block->inUse = 0;
  APIbuffer** end = &handle->buffers;
  while (*end != nullptr) end = &(*end)->next;
  *end = block;
  return block;
}

// A send leaves the request in the network code: the eye-catcher is written again, so
// that a buffer used once more does not send it converted twice.
void Empty(APIbuffer* block) {
  std::memcpy(block->eyeCatcher, kEyeCatcher, kEyeCatcherLength);
  std::memset(block->data, 0, static_cast<size_t>(block->capacity));
  block->cursor = block->data;
  std::memcpy(block->tag, kRequestTags[0], kTagLength);
  block->used = kRequestHeaderLength;
}

}  // namespace

bool BlockIsKnown(const APIbuffer* block) {
  if (DPAA == nullptr) return false;
  for (const APIhandle* handle = DPAA->handles; handle != nullptr; handle = handle->next)
    for (const APIbuffer* each = handle->buffers; each != nullptr; each = each->next)
      if (each == block) return true;
  return false;
}

bool BufferPassesCheck(void* userBuffer) {
  return userBuffer != nullptr && (BypassInputValidation != 0 || BlockIsKnown(BlockOfUserBuffer(userBuffer)));
}

int AllocateBuffer(APIhandle* handle, void** userBuffer, int requestSize) {
  if (userBuffer == nullptr) return kNoResultPointer;
  if (!HandlePassesCheck(handle)) return kInvalidHandle;
  if (requestSize < 1) requestSize = kDefaultRequestSize;
  if (requestSize > INT_MAX - kCapacityBeyondRequest) return kNoBufferStorage;
  APIbuffer* block = handle->buffers;
  while (block != nullptr && (block->inUse != 0 || block->capacity < requestSize)) block = block->next;
  if (block == nullptr) block = NewBlock(handle, requestSize);
  if (block == nullptr) return kNoBufferStorage;
  block->inUse = 1;
  Empty(block);
  *userBuffer = block->data;
  return kSuccess;
}

int ClearBuffer(void* userBuffer) {
  if (userBuffer == nullptr) return kNullBuffer;
  if (!BufferPassesCheck(userBuffer)) return kNotLibraryBuffer;
  Empty(BlockOfUserBuffer(userBuffer));
  return kSuccess;
}

int FreeBuffer(void* userBuffer) {
  if (userBuffer == nullptr) return kNullBuffer;
  APIbuffer* block = BlockOfUserBuffer(userBuffer);
  if (!BlockIsKnown(block)) return kNotLibraryBuffer;
  if (!HandleIsKnown(block->handle)) return kBufferHandleInvalid;
  for (APIbuffer* each = block->handle->buffers; each != nullptr; each = each->next) {
    if (each->data == userBuffer) {
      each->inUse = 0;
      return kSuccess;
    }
  }
  return kNotLibraryBuffer;
}

}  // namespace zevpapi

using zevpapi::CallScope;

extern "C" int dp_AllocateBuffer(APIhandle* handle, void** userBuffer, int requestSize, int* status) {
  CallScope call("dp_AllocateBuffer", status);
  return call.finish(zevpapi::AllocateBuffer(handle, userBuffer, requestSize));
}

extern "C" int dp_ClearBuffer(void* userBuffer, int* status) {
  CallScope call("dp_ClearBuffer", status);
  return call.finish(zevpapi::ClearBuffer(userBuffer));
}

extern "C" int dp_FreeBuffer(void* userBuffer, int* status) {
  CallScope call("dp_FreeBuffer", status);
  return call.finish(zevpapi::FreeBuffer(userBuffer));
}

extern "C" int ZEVP_ValidateAPIbuffer(APIbuffer* block) { return zevpapi::BlockIsKnown(block) ? 1 : 0; }

extern "C" void ZEVP_SetAPIbufferRequest(void* userBuffer, int requestIndex) {
  if (userBuffer == nullptr || requestIndex < 0 || requestIndex >= zevpapi::kRequestTagCount) return;
  std::memcpy(static_cast<char*>(userBuffer) - zevpapi::kTagLength, zevpapi::kRequestTags[requestIndex],
              zevpapi::kTagLength);
}
