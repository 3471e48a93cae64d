// The reader of received ICMP datagrams, and what the datagram does to a probing
// run over a /29 whose batch asked every host.
#include <cstddef>
#include <cstdint>

#include "icmp_echo.h"
#include "icmp_probe_run.h"
#include "icmp_test_network.h"
#include "trc1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (TRC1_Configure("*=0"), true);
  (void)quiet;
  zevs::IcmpReading reading{};
  if (!zevs::ReadIcmpDatagram(data, size, &reading)) return 0;
  TestNetwork network("10.77.0.0", 7);
  zevs::ProbeRun run(network.entry(), nullptr, true, 0x1230);
  run.StartBatch(0x42);
  for (int32_t index = 1; index <= 6; ++index) run.Asked(index);
  run.Take(reading, 1000);
  return 0;
}
