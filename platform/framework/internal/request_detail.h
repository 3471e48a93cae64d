// What the framework hands a table manager for a new request (internal to the framework).
#pragma once

#include <cstdint>

#include "raf_driver.h"

class RequestDetail {
 public:
  RequestDetail(const raf::RequestSpec& spec, uint32_t handle) : spec(spec), handle(handle) {}
  const raf::RequestSpec& spec;
  uint32_t handle;
};

class ContextInfo {
 public:
  explicit ContextInfo(bool automation) : automation(automation) {}
  // The request is made to carry automation commands.
  bool automation;
};
