#include "proxy_authorization.h"

#include "zev0/base64.h"

namespace zevp {

bool BasicProxyAuthorization(const char* user, const char* password, std::string* answer) {
  if (user == nullptr || password == nullptr) return false;
  const std::string credentials = std::string(user) + ":" + password;
  if (credentials.size() > static_cast<size_t>(ZEV0_BASE64_MAX_ENCODE_INPUT)) return false;
  char area[512] = {};
  char* encoded = area;
  if (ZEV0_EncodeBase64(credentials.c_str(), &encoded) != 1) return false;
  *answer = std::string("Basic ") + area;
  return true;
}

}  // namespace zevp
