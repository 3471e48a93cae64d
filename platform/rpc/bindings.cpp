#include <arpa/inet.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "binding_record.h"
#include "rpc_binding.h"
#include "trc1.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"

TRC_UNIT();

const uuid__t uuid__nil = {};

namespace {

void SetStatus(rpc__status_t* status, rpc__status_t value) {
  if (status != nullptr) *status = value;
}

bool HoldsInternetAddress(const socket__addr_t* address, int addressLength) {
  return address != nullptr && addressLength >= static_cast<int>(sizeof(sockaddr_in)) &&
         address->in.sin_family == AF_INET;
}

}  // namespace

void socket__from_name(int family, const char* name, int nameLength, unsigned port, socket__addr_t* address,
                       int* addressLength, rpc__status_t* status) {
  if (family != socket__family_internet) return SetStatus(status, rpc__s_invalid_family);
  // A host name is at most 255 characters.
  char host[256];
  if (name == nullptr || nameLength < 1 || nameLength >= static_cast<int>(sizeof host) || address == nullptr ||
      addressLength == nullptr || *addressLength < static_cast<int>(sizeof(sockaddr_in)) || port > 65535)
    return SetStatus(status, rpc__s_invalid_argument);
  std::memcpy(host, name, static_cast<size_t>(nameLength));
  host[nameLength] = '\0';
  sockaddr_in resolved{};
  if (std::strlen(host) == 0 || ZEV0_ConvertNameToAddr(host, static_cast<uint16_t>(port), &resolved) == 0) {
    TRC(TRC_DETAIL, "RPC host name %s not found", host);
    return SetStatus(status, rpc__s_name_not_found);
  }
  std::memset(address, 0, sizeof *address);
  address->in = resolved;
  *addressLength = sizeof(sockaddr_in);
  SetStatus(status, rpc__s_ok);
}

void socket__set_port(socket__addr_t* address, int addressLength, long port, rpc__status_t* status) {
  if (!HoldsInternetAddress(address, addressLength)) return SetStatus(status, rpc__s_invalid_argument);
  if (port < 1 || port > 65535) return SetStatus(status, rpc__s_invalid_port);
  address->in.sin_port = htons(static_cast<uint16_t>(port));
  SetStatus(status, rpc__s_ok);
}

rpc__handle_t rpc__bind(const uuid__t* object, const socket__addr_t* address, int addressLength,
                        rpc__status_t* status) {
  if (object == nullptr || !HoldsInternetAddress(address, addressLength)) {
    SetStatus(status, rpc__s_invalid_argument);
    return nullptr;
  }
  if (address->in.sin_port == 0) {
    SetStatus(status, rpc__s_invalid_port);
    return nullptr;
  }
  rpc__binding* binding = new (std::nothrow) rpc__binding{address->in, rpc__local_drep(), false};
  SetStatus(status, binding != nullptr ? rpc__s_ok : rpc__s_invalid_argument);
  return binding;
}

void rpc__free_handle(rpc__handle_t handle, rpc__status_t* status) {
  if (handle == nullptr || handle->servedCall) return SetStatus(status, rpc__s_invalid_argument);
  delete handle;
  SetStatus(status, rpc__s_ok);
}

void rpc__set_binding_drep(rpc__handle_t handle, rpc__drep_t drep, rpc__status_t* status) {
  if (handle == nullptr || !rpc__drep_is_valid(drep)) return SetStatus(status, rpc__s_invalid_argument);
  handle->drep = drep;
  SetStatus(status, rpc__s_ok);
}

void rpc__inq_binding(rpc__handle_t handle, socket__addr_t* address, int* addressLength, rpc__status_t* status) {
  if (handle == nullptr || address == nullptr || addressLength == nullptr)
    return SetStatus(status, rpc__s_invalid_argument);
  std::memset(address, 0, sizeof *address);
  address->in = handle->address;
  *addressLength = sizeof(sockaddr_in);
  SetStatus(status, rpc__s_ok);
}

void rpc__sockaddr_to_name(const socket__addr_t* address, int addressLength, char* name, int* nameLength,
                           unsigned* port, rpc__status_t* status) {
  if (!HoldsInternetAddress(address, addressLength) || name == nullptr || nameLength == nullptr || *nameLength < 1)
    return SetStatus(status, rpc__s_invalid_argument);
  char* hostName = nullptr;
  char dotted[INET_ADDRSTRLEN];
  const char* host = dotted;
  if (ZEV0_ConvertAddrToName(&address->in, &hostName, 0) != 0 && hostName != nullptr)
    host = hostName;
  else
    inet_ntop(AF_INET, &address->in.sin_addr, dotted, sizeof dotted);
  int length = std::snprintf(name, static_cast<size_t>(*nameLength), "ip:%s", host);
  ZEV0_FreeStorage(&hostName);
  if (length < 0 || length >= *nameLength) {
    name[0] = '\0';
    return SetStatus(status, rpc__s_invalid_argument);
  }
  *nameLength = length;
  if (port != nullptr) *port = ntohs(address->in.sin_port);
  SetStatus(status, rpc__s_ok);
}
