// The process's anchor: built from the environment by the first call that needs it.
#pragma once

namespace zevpapi {

// 0 when the anchor is there (built now or before), else the status of the failed build.
int EnsureAnchor();

}  // namespace zevpapi
