// A name service that knows no name, so that no look-up leaves the machine; the
// process's resolver while it lives. For programs that link the utility library.
#pragma once

#include <netdb.h>

#include <cerrno>
#include <cstdio>

#include "zev0/hostnames.h"

class NoNames : public zev0::Resolver {
 public:
  NoNames() : previous_(zev0::SetResolver(this)) {}
  ~NoNames() override { zev0::SetResolver(previous_); }
  NoNames(const NoNames&) = delete;
  NoNames& operator=(const NoNames&) = delete;
  int hostByName(const char*, hostent*, char*, size_t, int* hostError) override { return notFound(hostError); }
  int hostByAddress(const in_addr&, hostent*, char*, size_t, int* hostError) override { return notFound(hostError); }
  int systemHostName(char* name, size_t size) override {
    std::snprintf(name, size, "localhost");
    return 0;
  }

 private:
  static int notFound(int* hostError) {
    *hostError = HOST_NOT_FOUND;
    return ENOENT;
  }
  zev0::Resolver* previous_;
};
