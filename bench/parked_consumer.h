// The DCH server's host on a loopback port and a consumer parked there counting the
// rows of one application's group: where a benchmark's data provider sends its rows.
#pragma once

#include <memory>
#include <string>

#include "dch_host_process.h"
#include "row_counter.h"

class ParkedConsumer {
 public:
  ParkedConsumer();
  // Empty once the host runs and the consumer is parked; else what did not come up.
  std::string start(const char* applName, const char* group);

  unsigned short port() const { return port_; }
  DCHhostProcess& host() { return host_; }
  RowCounter& rows() { return *rows_; }

 private:
  unsigned short port_;
  DCHhostProcess host_;
  std::unique_ptr<RowCounter> rows_;
};
