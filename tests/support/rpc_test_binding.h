// A client binding of the RPC stand-in to a dotted address and port, in a data
// representation of the test's choice, freed with the object. (Header only: its users
// link the RPC stand-in.)
#pragma once

#include <cstring>

#include "rpc_binding.h"

class RpcTestBinding {
 public:
  explicit RpcTestBinding(unsigned short port, const char* dotted = "127.0.0.1",
                          rpc__drep_t drep = rpc__local_drep()) {
    socket__addr_t address;
    int addressLength = sizeof address;
    rpc__status_t status;
    socket__from_name(socket__family_internet, dotted, static_cast<int>(std::strlen(dotted)), 0, &address,
                      &addressLength, &status);
    socket__set_port(&address, addressLength, port, &status);
    handle_ = rpc__bind(&uuid__nil, &address, addressLength, &status);
    rpc__set_binding_drep(handle_, drep, &status);
  }
  ~RpcTestBinding() {
    rpc__status_t status;
    rpc__free_handle(handle_, &status);
  }
  RpcTestBinding(const RpcTestBinding&) = delete;
  RpcTestBinding& operator=(const RpcTestBinding&) = delete;
  rpc__handle_t handle() const { return handle_; }

 private:
  rpc__handle_t handle_;
};
