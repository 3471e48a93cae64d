// The answer to a proxy's Basic challenge: "Basic " and the Base64 form of
// "user:password".
#pragma once

#include <string>

namespace zevp {

// False, and no answer, when user or password is missing or "user:password"
// passes the 381 bytes the Base64 utility takes.
bool BasicProxyAuthorization(const char* user, const char* password, std::string* answer);

}  // namespace zevp
