// The process's anchor: built from the environment by the first call that needs it.
#pragma once

namespace zevpapi {

// 0 when the anchor is there (built now or before), else the status of the failed build.
int EnsureAnchor();

// A variable's decimal value when that is 1 to `highest`, else `fallback`.
int SettingOr(const char* variable, int fallback, int highest);

}  // namespace zevpapi
