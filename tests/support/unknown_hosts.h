// A name service that knows no host: nothing leaves the process for a look-up, and
// the system host name is "localhost". Install it with zev0::SetResolver.
#pragma once

#include <netdb.h>

#include <cstdio>

#include "zev0/hostnames.h"

class UnknownHosts : public zev0::Resolver {
 public:
  int hostByName(const char*, hostent*, char*, size_t, int* hostError) override {
    *hostError = HOST_NOT_FOUND;
    return 1;
  }
  int hostByAddress(const in_addr&, hostent*, char*, size_t, int* hostError) override {
    *hostError = HOST_NOT_FOUND;
    return 1;
  }
  int systemHostName(char* name, size_t size) override {
    std::snprintf(name, size, "localhost");
    return 0;
  }
};
