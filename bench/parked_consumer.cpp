#include "parked_consumer.h"

#include "dch/dch_api.h"
#include "dch_test_settings.h"

namespace {

// The consumer's settings come before its first transport.
unsigned short ConsumerPort() {
  unsigned short port = LoopbackDCHPort();
  DCH_api_init();
  return port;
}

}  // namespace

ParkedConsumer::ParkedConsumer() : port_(ConsumerPort()), host_(port_) {}

std::string ParkedConsumer::start(const char* applName, const char* group) {
  if (!host_.startReady({"ZEVA_DCH_TIMEOUT=5"})) return host_.failure();
  rows_ = std::make_unique<RowCounter>(applName, group);
  if (!rows_->parked()) return "the consumer could not park";
  return std::string();
}
