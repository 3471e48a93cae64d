// A name service that knows no name and no address, for harnesses and tests that
// must ask no real one; the system host name is the one given ("dphost" unless
// told). Installed for the life of the object.
#pragma once

#include <netdb.h>

#include <cerrno>
#include <cstdio>

#include "zev0/hostnames.h"

class NoNameService : public zev0::Resolver {
 public:
  explicit NoNameService(const char* hostName = "dphost") : hostName_(hostName), previous_(zev0::SetResolver(this)) {}
  ~NoNameService() override { zev0::SetResolver(previous_); }
  NoNameService(const NoNameService&) = delete;
  NoNameService& operator=(const NoNameService&) = delete;

  int hostByName(const char*, hostent*, char*, size_t, int* hostError) override {
    *hostError = HOST_NOT_FOUND;
    return ENOENT;
  }
  int hostByAddress(const in_addr&, hostent*, char*, size_t, int* hostError) override {
    *hostError = HOST_NOT_FOUND;
    return ENOENT;
  }
  int systemHostName(char* name, size_t size) override {
    std::snprintf(name, size, "%s", hostName_);
    return 0;
  }

 private:
  const char* hostName_;
  zev0::Resolver* previous_;
};
