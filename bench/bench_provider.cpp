#include "bench_provider.h"

BenchProvider::BenchProvider(const std::string& type) : provider_(type, consumer_.port()) {}

std::string BenchProvider::start() {
  if (std::string failure = consumer_.start("BENCH", "ROWS"); !failure.empty()) return failure;
  provider_.configuration().write("bench.mdl",
                                  "//APPL Bench\n//NAME Rows E 60\n//ATTRIBUTES ';'\nText D 32\nCount C 100000\n");
  provider_.configuration().write("ZEVPCNFG", "bench.mdl\n");
  if (!provider_.start({"ZEV_TRACE=*=0"})) return "the data provider did not start";
  return std::string();
}
