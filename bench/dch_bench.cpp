// The DCH channel against bare loopback loops of the same message sizes, measured in
// the same run: rows per second of data providers over TCP (each data request waits
// for its status, with a consumer parked for the rows), consumer requests per second
// over UDP through the library's single calls, and the host program's idle memory.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bare_loops.h"
#include "dch/dch_api.h"
#include "dch_host_process.h"
#include "dch_test_settings.h"
#include "raw_dch_peer.h"
#include "ratio.h"
#include "row_counter.h"

namespace {

constexpr int kProviders = 8;
constexpr size_t kStatusReplySize = 14;
constexpr size_t kOnlineReplySize = 24;
constexpr char kApplName[] = "BENCH";
constexpr char kGroup[] = "G";

const std::string kStatusZero = rawdch::Hex("0000000e 0000000a 0011 00000000");

// A data provider on a connection of its own, with one source online.
struct Provider {
  explicit Provider(unsigned short port) : connection(port, true) {}
  BareClient connection;
  std::string row;  // a data request of that source
};

std::unique_ptr<Provider> OnlineProvider(unsigned short port, int index) {
  auto provider = std::make_unique<Provider>(port);
  std::string reply =
      provider->connection.exchange(rawdch::OnlineRequest(kApplName, kGroup, "SRC" + std::to_string(index)),
                                    kOnlineReplySize);
  rawdch::StatusReply online = rawdch::ReadStatusReply(reply);
  if (!online.valid || online.status != 0) return nullptr;
  rawdch::Message row = rawdch::DataRequest(online.handle, 0x11);
  row.text(rawdch::kAttrName, "NAME").text(rawdch::kAttrValue, "bench").text(rawdch::kAttrName, "CNT");
  row.u32(rawdch::kAttrValue, 42);
  provider->row = row.bytes();
  return provider;
}

int Fail(const char* what) {
  std::fprintf(stderr, "dch_bench: %s\n", what);
  return 1;
}

}  // namespace

int main() {
  unsigned short port = LoopbackDCHPort();  // the consumer's settings, before its first transport
  DCH_api_init();
  DCHhostProcess host(port);
  if (!host.startReady({"ZEVA_DCH_TIMEOUT=5"})) return Fail(host.failure().c_str());
  usleep(200 * 1000);
  std::printf("%-58s %6ld kB\n", "idle resident memory of the server host program", host.residentKilobytes());

  BareClient registrar(port, true);
  rawdch::Group group{kGroup, "bench rows", 'P', 300, "NAME,D,8, ,the name;CNT,C,4, ,a count;"};
  if (registrar.exchange(rawdch::RegisterRequest(kApplName, "bench", {group}), kStatusReplySize) != kStatusZero)
    return Fail("the application was not registered");
  std::vector<std::unique_ptr<Provider>> providers;
  for (int index = 0; index < kProviders; ++index) {
    providers.push_back(OnlineProvider(port, index));
    if (providers.back() == nullptr) return Fail("a source did not come online");
  }
  RowCounter consumer(kApplName, kGroup);
  if (!consumer.parked()) return Fail("the consumer could not park");

  BareServer statusServer(kStatusZero);
  std::vector<std::unique_ptr<BareClient>> bare;
  for (int index = 0; index < kProviders; ++index)
    bare.push_back(std::make_unique<BareClient>(statusServer.port(), true));
  auto bareRow = [&](int index) {
    return Repeat([&, index] { return bare[index]->exchange(providers[index]->row, kStatusReplySize) == kStatusZero; });
  };
  auto dchRow = [&](int index) {
    return Repeat([&, index] {
      return providers[index]->connection.exchange(providers[index]->row, kStatusReplySize) == kStatusZero;
    });
  };

  PrintRatio("rows/s, 1 data provider over TCP / bare TCP loop", MedianRatio(bareRow(0), dchRow(0)));
  PrintRatio("rows/s, 8 data providers at once / 8 bare TCP loops",
             MedianRatio(SideBySide(kProviders, bareRow), SideBySide(kProviders, dchRow)));
  if (consumer.count() == 0) return Fail("the consumer received no rows");

  // The consumer's get request and its answer, as the library sends and reads them.
  const std::string getRequest = rawdch::GetRequest(rawdch::kGetAppl, kApplName);
  const std::string text = "BENCH,G,P,300:;";
  rawdch::Message response;
  response.raw(rawdch::kResponse, text);
  BareServer responseServer(response.bytes());
  BareClient bareConsumer(responseServer.port(), false);
  auto bareGet = Repeat([&] { return !bareConsumer.exchange(getRequest, response.bytes().size()).empty(); });
  auto dchGet = Repeat([&] {
    int length = 0;
    char* answer = nullptr;
    bool got = dc_getApplications(&length, &answer, kApplName, 5) == 0 && text == std::string(answer, length);
    free(answer);
    return got;
  });
  PrintRatio("consumer requests/s over UDP (get applications) / bare UDP loop", MedianRatio(bareGet, dchGet));
  return 0;
}
