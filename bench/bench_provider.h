// A data provider of a type in a process of its own, with the application Bench (group
// Rows, attributes Text and Count delimited by ';') loaded at its start, against the DCH
// server's host on a loopback port, and a consumer parked there counting the group's
// rows.
#pragma once

#include <string>

#include "data_provider_process.h"
#include "parked_consumer.h"

class BenchProvider {
 public:
  explicit BenchProvider(const std::string& type);
  // Empty once the host, the consumer and the data provider all run; else what did not
  // come up.
  std::string start();

  DCHhostProcess& host() { return consumer_.host(); }
  DataProviderProcess& provider() { return provider_; }
  RowCounter& rows() { return consumer_.rows(); }

 private:
  ParkedConsumer consumer_;
  DataProviderProcess provider_;
};
