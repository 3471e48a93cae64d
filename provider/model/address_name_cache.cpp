// IPADDRESSTONAME: one cached address and its name, shared by every attribute
// and thread, so that rows that keep carrying one address ask the name service
// once.
#include <cctype>
#include <mutex>
#include <string>

#include "derived_function_values.h"
#include "trc1.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace zevp {

namespace {

// Longer addresses and names are used, but not kept.
constexpr size_t kCachedTextMax = 259;

struct AddressNameCache {
  std::mutex lock;  // held from the comparison to the update, the look-up included
  std::string address;
  std::string name;
};

AddressNameCache& cache() {
  static AddressNameCache theCache;
  return theCache;
}

std::string addressPart(const std::string& text) {
  size_t start = text.find_first_not_of(" /");
  if (start == std::string::npos) return "";
  size_t end = text.find('/', start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

std::string AddressToName(const std::string& text) {
  std::string address = addressPart(text);
  if (address.empty() || !std::isdigit(static_cast<unsigned char>(address[0]))) {
    TRC(TRC_DETAIL, "Input string is not an IP address. Hostname %s used as is", address.c_str());
    return address;
  }
  AddressNameCache& known = cache();
  std::lock_guard<std::mutex> hold(known.lock);
  if (!known.address.empty() && address == known.address) {
    TRC(TRC_DETAIL, "Input Addr %s -> Output Name %s - Previously resolved name used", address.c_str(),
        known.name.c_str());
    return known.name;
  }
  char* resolved = ZEV0_ResolveAddressToName(address.c_str());
  std::string name = resolved != nullptr ? resolved : address;
  if (resolved != nullptr && address.size() <= kCachedTextMax && name.size() <= kCachedTextMax) {
    known.address = address;
    known.name = name;
  }
  ZEV0_FreeStorage(&resolved);
  TRC(TRC_DETAIL, "Input Addr %s -> Output Name %s", address.c_str(), name.c_str());
  return name;
}

}  // namespace zevp
