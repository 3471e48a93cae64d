#include "bench_provider.h"

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

BenchProvider::BenchProvider(const std::string& type)
    : port_(ConsumerPort()), host_(port_), provider_(type, port_) {}

std::string BenchProvider::start() {
  if (!host_.startReady({"ZEVA_DCH_TIMEOUT=5"})) return host_.failure();
  rows_ = std::make_unique<RowCounter>("BENCH", "ROWS");
  if (!rows_->parked()) return "the consumer could not park";
  provider_.configuration().write("bench.mdl",
                                  "//APPL Bench\n//NAME Rows E 60\n//ATTRIBUTES ';'\nText D 32\nCount C 100000\n");
  provider_.configuration().write("ZEVPCNFG", "bench.mdl\n");
  if (!provider_.start({"ZEV_TRACE=*=0"})) return "the data provider did not start";
  return std::string();
}
