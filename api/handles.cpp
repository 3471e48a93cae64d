#include "handles.h"

#include <cstdlib>

#include "anchor.h"
#include "api_trace.h"
#include "status_codes.h"

namespace zevpapi {

int AllocateHandle(APIhandle** result) {
  *result = nullptr;
  int status = EnsureAnchor();
  if (status != kSuccess) return status;
  auto* handle = static_cast<APIhandle*>(std::calloc(1, sizeof(APIhandle)));
  if (handle == nullptr) return kNoHandleStorage;
  handle->beginDelimiter = ' ';
  handle->endDelimiter = ' ';
  APIhandle** end = &DPAA->handles;
  while (*end != nullptr) end = &(*end)->next;
  *end = handle;
  *result = handle;
  return kSuccess;
}

bool HandleIsKnown(const APIhandle* handle) {
  if (DPAA == nullptr || handle == nullptr) return false;
  for (const APIhandle* each = DPAA->handles; each != nullptr; each = each->next)
    if (each == handle) return true;
  return false;
}

bool HandlePassesCheck(const APIhandle* handle) {
  return handle != nullptr && (BypassInputValidation != 0 || HandleIsKnown(handle));
}

void CloseSessionSocket(APIhandle* handle) {
  // Connected mode ends with its session: a later datagram request waits for its reply
  // no longer than the request wait.
  handle->connected = 0;
  if (handle->sessionSocket == 0) return;
  ZEVP_CloseSocket(handle->sessionSocket);
  handle->sessionSocket = 0;
}

void ReleaseHandle(APIhandle* handle) {
  if (DPAA != nullptr) {
    for (APIhandle** link = &DPAA->handles; *link != nullptr; link = &(*link)->next) {
      if (*link == handle) {
        *link = handle->next;
        break;
      }
    }
  }
  CloseSessionSocket(handle);
  if (handle->requestSocket != 0) ZEVP_CloseSocket(handle->requestSocket);
  for (APIbuffer* block = handle->buffers; block != nullptr;) {
    APIbuffer* next = block->next;
    std::free(block);
    block = next;
  }
  std::free(handle);
}

HandleInUse::HandleInUse(APIhandle* given) : handle_(given), temporary_(given == nullptr) {
  if (temporary_) status_ = AllocateHandle(&handle_);
}

HandleInUse::~HandleInUse() {
  if (temporary_ && handle_ != nullptr) ReleaseHandle(handle_);
}

}  // namespace zevpapi

using zevpapi::CallScope;

extern "C" APIhandle* dp_AllocateHandle(int* status) {
  CallScope call("dp_AllocateHandle", status);
  APIhandle* handle = nullptr;
  call.finish(zevpapi::AllocateHandle(&handle));
  return handle;
}

extern "C" int dp_FreeHandle(APIhandle* handle, int* status) {
  CallScope call("dp_FreeHandle", status);
  if (!zevpapi::HandlePassesCheck(handle)) return call.finish(zevpapi::kInvalidHandle);
  zevpapi::ReleaseHandle(handle);
  return call.finish(zevpapi::kSuccess);
}

extern "C" int dp_ResetHandle(APIhandle* handle, int* status) {
  CallScope call("dp_ResetHandle", status);
  if (!zevpapi::HandlePassesCheck(handle)) return call.finish(zevpapi::kInvalidHandle);
  zevpapi::CloseSessionSocket(handle);
  handle->sessionKey = 0;
  handle->replyLength = 0;
  handle->replyData = nullptr;
  handle->beginDelimiter = ' ';
  handle->endDelimiter = ' ';
  return call.finish(zevpapi::kSuccess);
}

extern "C" int ZEVP_ValidateAPIhandle(APIhandle* handle) { return zevpapi::HandleIsKnown(handle) ? 1 : 0; }
