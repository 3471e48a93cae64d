// Handles: allocation, release, reset and the look-up in the anchor's chain.
#pragma once

#include "records.h"

namespace zevpapi {

// 0 and the new handle (the anchor built when needed), or the failure's status.
int AllocateHandle(APIhandle** handle);
// Closes its session, unlinks it and frees it with its buffers.
void ReleaseHandle(APIhandle* handle);
// True for a handle of the anchor's chain.
bool HandleIsKnown(const APIhandle* handle);
// True for a handle that may be used: not null, and of the chain unless validation is
// bypassed.
bool HandlePassesCheck(const APIhandle* handle);
// Closes the handle's session socket when it is open, and ends connected mode.
void CloseSessionSocket(APIhandle* handle);

// A handle of the caller's, or a temporary one for a call made without a handle; the
// temporary one goes with the object.
class HandleInUse {
 public:
  explicit HandleInUse(APIhandle* given);
  ~HandleInUse();
  HandleInUse(const HandleInUse&) = delete;
  HandleInUse& operator=(const HandleInUse&) = delete;
  // 0 when there is a handle to work on.
  int status() const { return status_; }
  APIhandle* get() const { return handle_; }

 private:
  APIhandle* handle_;
  bool temporary_;
  int status_ = 0;
};

}  // namespace zevpapi
