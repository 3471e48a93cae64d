// One value into a buffer, between the handle's delimiters.
#pragma once

namespace zevpapi {

// 0, or the status of the refused value; the buffer is unchanged then.
int FormatValue(void* userBuffer, const void* data, int dataSize, int dataType);

}  // namespace zevpapi
